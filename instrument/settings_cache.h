#pragma once

#include <QStringList>
#include <array>

// The panel's copy of every instrument setting it shows, kept equal to what
// was read back or last sent, and the translation between channel numbers and
// channel names.
namespace pg5400 {

struct TSystemSettings {
    double Period = 0;
    qint32 ModeIndex = 0;
    qint32 TriggerModeIndex = 0;
    qint32 TriggerEdgeIndex = 0;
    qint32 GatePolarityIndex = 0;
    qint32 ShotCounterEnabled = 0;
    quint32 DutyOnCount = 0;
    quint32 DutyOffCount = 0;
    qint32 CycleCount = 0;
    double TriggerLevel = 0;
    quint32 BurstCount = 0;
    qint32 AutoStart = 0;
    qint32 PeriodCounterEnabled = 0;
    qint32 PeriodCounterCount = 0;
    qint32 PeriodCounterAuto = 0;
    qint32 ShotCounterSourceIndex = 0;
    qint32 SyncAutoUpdate = 0;
};

struct TChannelSettings {
    qint32 Enabled = 0;
    double Width = 0;
    double Delay = 0;
    qint32 ModeIndex = 0;
    qint32 BurstCount = 0;
    qint32 DutyOnCount = 0;
    qint32 DutyOffCount = 0;
    double Amplitude = 0;
    qint32 SyncChannel = 0;
    qint32 PolarityIndex = 0;
    qint32 WaitCount = 0;
    qint32 MuxMask = 0;
    qint32 GateModeIndex = 0;
    qint32 MuxGateIndex = 0;
};

extern TSystemSettings SystemSettings;
// Indexed by channel number 1..8; entry 0 is unused.
extern std::array<TChannelSettings, 9> ChannelSettings;
extern bool MuxGateSupported;
extern qint32 ErrorCode;

// What GetChannelNumber gives for a name outside the table: never a valid
// channel number, so callers can refuse it before indexing anything.
inline constexpr int NoChannel = -1;

// 0 for "T0", n for "CHC", "ChC" or "Ch C" (n = 3); exact and case-sensitive.
int GetChannelNumber(const QString& channelname);
// "T0", "Ch A".."Ch H"; empty outside 0..8.
QString GetChSyncName(int chnumber);
// "T0", "CHA".."CHH"; empty outside 0..8.
QString GetChCmdName(int chnumber);
// The position of the last entry equal to GetChSyncName(chnum), or -1.
int GetChannelIndex(const QStringList& chlisting, int chnum);

void ResetSettingsCache();

} // namespace pg5400
