#pragma once

#include <QString>
#include <QStringList>

// The keyword enumerations of the command language together with the
// selection lists that show them. A list index is the position of the entry
// in the panel's list; the read-back maps a reply keyword to that index, the
// editors map the selected index back to the keyword.
namespace communication::cmd {

// Result of a lookup that matches no entry.
inline constexpr int NotFound = -1;

struct KeywordEntry {
    const char* keyword; // the text on the wire
    const char* caption; // the entry of the panel's list
};

class KeywordTable {
public:
    constexpr KeywordTable(const KeywordEntry* entries, int count, int standardCount)
        : entries_(entries), count_(count), standardCount_(standardCount) {}

    // All entries, including those only plus and high-resolution models offer.
    int count() const { return count_; }
    // The leading entries every model offers; the rest are plus and
    // high-resolution only.
    int standardCount() const { return standardCount_; }
    int countFor(bool plusOrHighResolution) const {
        return plusOrHighResolution ? count_ : standardCount_;
    }

    bool isValidIndex(int index) const { return index >= 0 && index < count_; }
    // Empty text for an index outside the table.
    QString keyword(int index) const;
    QString caption(int index) const;

    // Exact, case-sensitive comparison; NotFound when nothing matches.
    int indexOf(const QString& keyword) const;

    QStringList captionsFor(bool plusOrHighResolution) const;

private:
    const KeywordEntry* entries_;
    int count_;
    int standardCount_;
};

// :PULS0:MOD, index 0 to 3: NORM "Continuous", SING "Single Shot", BURS "Burst",
// DCYC "Duty Cycle".
extern const KeywordTable SystemModes;
// :CMOD, the same keywords with the channel captions: NORM "Normal", ...
extern const KeywordTable ChannelModes;
// :PULS0:EXT:MODE: DIS "Disabled", TRIG "Triggered", GAT "Gated", and on plus
// and high-resolution models REARM "ReArm".
extern const KeywordTable ExternalModes;
// :PULS0:EXT:EDG: FALL "Falling", RIS "Rising".
extern const KeywordTable TriggerEdges;
// :PULS0:EXT:POL: LOW "Low", HIGH "High".
extern const KeywordTable GatePolarities;
// :POL: INV "Inverted", NORM "Normal".
extern const KeywordTable ChannelPolarities;
// :CGAT: DIS "Disabled", LOW "Active Low", HIGH "Active High", and on plus and
// high-resolution models LOWWR "ActiveLoWR", HIGHWR "ActiveHiWR".
extern const KeywordTable ChannelGateModes;
// :PULS0:COUN:SOUR: T0 "T0", CHA "ChA", CHB "ChB", CHC "ChC", CHD "ChD".
extern const KeywordTable ShotCounterSources;
// :MUXG takes the list index itself as its argument: "0" "Disabled",
// "1" "Gated", "2" "Inhibit", "3" "Invert".
extern const KeywordTable MuxGateModes;
// :SYNC, indexed by the timer's number (0 = T0, 1 to 8 = channels A to H):
// keyword "T0", "CHA" ... "CHH", caption (sync source list entry) "T0",
// "Ch A" ... "Ch H".
extern const KeywordTable SyncSources;

} // namespace communication::cmd
