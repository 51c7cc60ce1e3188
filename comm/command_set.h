#pragma once

#include "comm/keyword_tables.h"
#include "comm/number_format.h"

#include <QString>
#include <QtGlobal>

// The one catalogue of command text the panel sends: query headers, set lines,
// action lines and settings-file lines. Nothing else composes command text.
//
// Headers are bare (":PULS0:PER"); the query primitives append the "?".
// Set lines are header, one blank and the argument; action lines are the
// header alone. No line carries its CR LF.
//
// Every function that builds a line returns an empty text when its arguments
// cannot make a valid line (a channel outside 1 to 8, a list index outside
// its table, a storage bin out of range, a number that is not finite), so the
// caller can refuse to send it instead of sending a malformed line.
namespace communication::cmd {

inline constexpr int FirstChannel = 1;
inline constexpr int LastChannel = 8;
inline constexpr int FirstSaveBin = 1;
inline constexpr int LastBin = 6;
inline constexpr int DefaultsBin = 0; // recalls the instrument's default settings

// Codes of the *ERS reply.
inline constexpr int NoError = 0;
inline constexpr int OverCurrentError = 1;
inline constexpr int OverTemperatureError = 2;
inline constexpr int FanFailureError = 3;

// What follows the header in the settings-file line of a setting.
enum class SnapshotForm {
    None,   // the setting has no settings-file line
    Number, // the stored number in the general format
    Value,  // the stored integer in decimal
    Reply,  // the keyword exactly as the instrument replied it
};

// Settings of the system timer T0, including the plus features.
enum class SystemSetting {
    Period,
    Mode,
    BurstCount,
    DutyOnCount,
    DutyOffCount,
    ExternalMode, // queried as :PULS0:EXT:MODE, set as :PULS0:EXT:MOD
    TriggerLevel,
    TriggerEdge,
    GatePolarity,
    AutoStart,
    RunState, // status poll only
    // Plus and high-resolution models only:
    PeriodCounterEnabled,
    PeriodCounterAuto,
    PeriodCounterCount,
    PeriodCounterPeriod, // status poll only
    ShotCounterEnabled,
    ShotCounterSource,
    ShotCounterCount, // status poll only
    SyncAutoUpdate,
    CycleCount,
};

// Settings of one channel, header ":PULS" + n + suffix.
enum class ChannelSetting {
    Enabled,
    Delay,
    Width,
    Mode,
    BurstCount,
    DutyOnCount,
    DutyOffCount,
    SyncSource,
    Polarity,
    WaitCount,
    GateMode,
    // Output channels only:
    Amplitude,
    Mux,
    MuxGate, // only when the instrument knows the header
};

// --- Headers and their properties -------------------------------------------

QString header(SystemSetting setting); // the query header
SnapshotForm snapshotForm(SystemSetting setting);

QString channelHeader(int channel); // ":PULS3"; empty outside 1 to 8
QString header(ChannelSetting setting, int channel);
SnapshotForm snapshotForm(ChannelSetting setting);

QString identityHeader();    // "*IDN"
QString errorStatusHeader(); // "*ERS", reply one of the error codes above

// A reply containing "?" is the instrument's answer to a header it does not
// know (the mux gate probe relies on it).
bool isErrorReply(const QString& reply);

// --- Link and storage lines --------------------------------------------------

QString usbEchoOff();       // ":SYST:COMM:USB:ECH OFF"
QString bluetoothEchoOff(); // ":SYST:COMM:BLUE:ECH OFF"
QString saveToBin(int bin); // "*SAV 1" to "*SAV 6"
QString recallBin(int bin); // "*RCL 0" to "*RCL 6"

// --- System timer set and action lines ---------------------------------------

QString setPeriod(double seconds);            // ":PULS0:PER 0.001000000"
QString setSystemMode(int index);             // ":PULS0:MOD BURS"
QString setSystemBurstCount(quint64 count);   // ":PULS0:BCO 4000000000"
QString setSystemDutyOnCount(quint64 count);  // ":PULS0:PCO n"
QString setSystemDutyOffCount(quint64 count); // ":PULS0:OCO n"
QString setExternalMode(int index);           // ":PULS0:EXT:MOD GAT"
QString setTriggerLevel(double volts);        // ":PULS0:EXT:LEV 2.50"
QString setTriggerEdge(int index);            // ":PULS0:EXT:EDG RIS"
QString setGatePolarity(int index);           // ":PULS0:EXT:POL HIGH"
QString setAutoStart(bool on);                // ":SYST:AUT 1" / ":SYST:AUT 0"
QString setRunning(bool run);                 // ":PULS0:STAT ON" / "OFF"
QString setPeriodCounterEnabled(bool on);     // ":PULS0:EXTP:STAT ON" / "OFF"
QString setPeriodCounterAuto(bool on);        // ":PULS0:EXTP:AUT ON" / "OFF"
QString setPeriodCounterCount(qint64 count);  // ":PULS0:EXTP:NCOU 8"
QString clearPeriodCounter();                 // ":PULS0:EXTP:CL"
QString setShotCounterEnabled(bool on);       // ":PULS0:COUN:STAT 1" / "0"
QString setShotCounterSource(int index);      // ":PULS0:COUN:SOUR CHC"
QString clearShotCounter();                   // ":PULS0:COUN:CL"
QString setSyncAutoUpdate(bool automatic);    // ":SYST:UPD:AUTO 1" / "0"
QString executeUpdate();                      // ":SYST:UPD:EX"
QString setCycleCount(qint64 count);          // ":PULS0:CCO 500"

// --- Channel set lines ---------------------------------------------------------

QString setChannelEnabled(int channel, bool on);           // ":PULS1:STAT 1" / "0"
QString setChannelDelay(int channel, double seconds);      // ":PULS2:DEL -0.000001500000"
QString setChannelWidth(int channel, double seconds);      // ":PULS3:WIDT 0.000000100"
QString setChannelMode(int channel, int index);            // ":PULS4:CMOD BURS"
QString setChannelBurstCount(int channel, qint64 count);   // ":PULS1:BCO n"
QString setChannelDutyOnCount(int channel, qint64 count);  // ":PULS1:PCO n"
QString setChannelDutyOffCount(int channel, qint64 count); // ":PULS1:OCO n"
QString setChannelSyncSource(int channel, int source);     // 0..8: ":PULS1:SYNC CHB"
QString setChannelPolarity(int channel, int index);        // ":PULS1:POL INV"
QString setChannelWaitCount(int channel, qint64 count);    // ":PULS1:WCO n"
QString setChannelGateMode(int channel, int index);        // ":PULS1:CGAT HIGHWR"
QString setChannelAmplitude(int channel, double volts);    // ":PULS1:OUTP:AMPL 3.30"
QString setChannelMux(int channel, int mask);              // ":PULS1:MUX 5", mask 0..255
QString setChannelMuxGate(int channel, int index);         // ":PULS1:MUXG 2"

// --- Settings-file lines --------------------------------------------------------
// Each writes the setting's query header, one blank and the argument in the
// setting's snapshot form; it returns an empty text when the setting has no
// settings-file line or a different snapshot form.

QString snapshotNumber(SystemSetting setting, double value);        // ":PULS0:PER 0.001"
QString snapshotValue(SystemSetting setting, qint64 value);         // ":PULS0:BCO 4000000000"
QString snapshotReply(SystemSetting setting, const QString& reply); // ":PULS0:EXT:MODE GAT"

QString snapshotNumber(ChannelSetting setting, int channel, double value); // ":PULS1:DEL 1E-7"
QString snapshotValue(ChannelSetting setting, int channel, qint64 value);  // ":PULS1:MUX 5"
QString snapshotReply(ChannelSetting setting, int channel, const QString& reply);

// A line the instrument can take byte for byte: printable Latin-1, at most
// 256 characters (far longer than any line the panel writes).
bool IsCommandText(const QString& line);

} // namespace communication::cmd
