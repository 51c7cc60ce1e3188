#include "comm/keyword_tables.h"

#include <cstddef>

namespace communication::cmd {

namespace {

constexpr KeywordEntry systemModeEntries[] = {
    {"NORM", "Continuous"},
    {"SING", "Single Shot"},
    {"BURS", "Burst"},
    {"DCYC", "Duty Cycle"},
};

constexpr KeywordEntry channelModeEntries[] = {
    {"NORM", "Normal"},
    {"SING", "Single Shot"},
    {"BURS", "Burst"},
    {"DCYC", "Duty Cycle"},
};

constexpr KeywordEntry externalModeEntries[] = {
    {"DIS", "Disabled"},
    {"TRIG", "Triggered"},
    {"GAT", "Gated"},
    {"REARM", "ReArm"},
};

constexpr KeywordEntry triggerEdgeEntries[] = {
    {"FALL", "Falling"},
    {"RIS", "Rising"},
};

constexpr KeywordEntry gatePolarityEntries[] = {
    {"LOW", "Low"},
    {"HIGH", "High"},
};

constexpr KeywordEntry channelPolarityEntries[] = {
    {"INV", "Inverted"},
    {"NORM", "Normal"},
};

constexpr KeywordEntry channelGateModeEntries[] = {
    {"DIS", "Disabled"},     {"LOW", "Active Low"},    {"HIGH", "Active High"},
    {"LOWWR", "ActiveLoWR"}, {"HIGHWR", "ActiveHiWR"},
};

constexpr KeywordEntry shotCounterSourceEntries[] = {
    {"T0", "T0"}, {"CHA", "ChA"}, {"CHB", "ChB"}, {"CHC", "ChC"}, {"CHD", "ChD"},
};

constexpr KeywordEntry muxGateModeEntries[] = {
    {"0", "Disabled"},
    {"1", "Gated"},
    {"2", "Inhibit"},
    {"3", "Invert"},
};

constexpr KeywordEntry syncSourceEntries[] = {
    {"T0", "T0"},    {"CHA", "Ch A"}, {"CHB", "Ch B"}, {"CHC", "Ch C"}, {"CHD", "Ch D"},
    {"CHE", "Ch E"}, {"CHF", "Ch F"}, {"CHG", "Ch G"}, {"CHH", "Ch H"},
};

template <std::size_t N>
constexpr KeywordTable table(const KeywordEntry (&entries)[N], int standardCount = int(N)) {
    return KeywordTable(entries, int(N), standardCount);
}

} // namespace

const KeywordTable SystemModes = table(systemModeEntries);
const KeywordTable ChannelModes = table(channelModeEntries);
const KeywordTable ExternalModes = table(externalModeEntries, 3);
const KeywordTable TriggerEdges = table(triggerEdgeEntries);
const KeywordTable GatePolarities = table(gatePolarityEntries);
const KeywordTable ChannelPolarities = table(channelPolarityEntries);
const KeywordTable ChannelGateModes = table(channelGateModeEntries, 3);
const KeywordTable ShotCounterSources = table(shotCounterSourceEntries);
const KeywordTable MuxGateModes = table(muxGateModeEntries);
const KeywordTable SyncSources = table(syncSourceEntries);

QString KeywordTable::keyword(int index) const {
    return isValidIndex(index) ? QString::fromLatin1(entries_[index].keyword) : QString();
}

QString KeywordTable::caption(int index) const {
    return isValidIndex(index) ? QString::fromLatin1(entries_[index].caption) : QString();
}

int KeywordTable::indexOf(const QString& keyword) const {
    for (int i = 0; i < count_; ++i) {
        if (keyword == QLatin1String(entries_[i].keyword))
            return i;
    }
    return NotFound;
}

QStringList KeywordTable::captionsFor(bool plusOrHighResolution) const {
    QStringList list;
    const int n = countFor(plusOrHighResolution);
    for (int i = 0; i < n; ++i)
        list << caption(i);
    return list;
}

} // namespace communication::cmd
