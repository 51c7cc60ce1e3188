#include "comm/command_set.h"

#include <cstddef>
#include <iterator>

namespace communication::cmd {

namespace {

struct SystemCommand {
    SystemSetting setting;
    const char* header;    // query header, also the settings-file header
    const char* setHeader; // header of the set line
    SnapshotForm snapshot;
};

// In the order of the SystemSetting enumeration.
constexpr SystemCommand systemCommands[] = {
    {SystemSetting::Period, ":PULS0:PER", ":PULS0:PER", SnapshotForm::Number},
    {SystemSetting::Mode, ":PULS0:MOD", ":PULS0:MOD", SnapshotForm::Reply},
    {SystemSetting::BurstCount, ":PULS0:BCO", ":PULS0:BCO", SnapshotForm::Value},
    {SystemSetting::DutyOnCount, ":PULS0:PCO", ":PULS0:PCO", SnapshotForm::Value},
    {SystemSetting::DutyOffCount, ":PULS0:OCO", ":PULS0:OCO", SnapshotForm::Value},
    // The instrument takes both header forms; the panel queries and saves the
    // long one and sets with the short one.
    {SystemSetting::ExternalMode, ":PULS0:EXT:MODE", ":PULS0:EXT:MOD", SnapshotForm::Reply},
    {SystemSetting::TriggerLevel, ":PULS0:EXT:LEV", ":PULS0:EXT:LEV", SnapshotForm::Number},
    {SystemSetting::TriggerEdge, ":PULS0:EXT:EDG", ":PULS0:EXT:EDG", SnapshotForm::Reply},
    {SystemSetting::GatePolarity, ":PULS0:EXT:POL", ":PULS0:EXT:POL", SnapshotForm::Reply},
    {SystemSetting::AutoStart, ":SYST:AUT", ":SYST:AUT", SnapshotForm::Value},
    {SystemSetting::RunState, ":PULS0:STAT", ":PULS0:STAT", SnapshotForm::None},
    {SystemSetting::PeriodCounterEnabled, ":PULS0:EXTP:STAT", ":PULS0:EXTP:STAT",
     SnapshotForm::Value},
    {SystemSetting::PeriodCounterAuto, ":PULS0:EXTP:AUT", ":PULS0:EXTP:AUT", SnapshotForm::Value},
    {SystemSetting::PeriodCounterCount, ":PULS0:EXTP:NCOU", ":PULS0:EXTP:NCOU",
     SnapshotForm::Value},
    {SystemSetting::PeriodCounterPeriod, ":PULS0:EXTP:PER", nullptr, SnapshotForm::None},
    {SystemSetting::ShotCounterEnabled, ":PULS0:COUN:STAT", ":PULS0:COUN:STAT",
     SnapshotForm::Value},
    {SystemSetting::ShotCounterSource, ":PULS0:COUN:SOUR", ":PULS0:COUN:SOUR", SnapshotForm::Reply},
    {SystemSetting::ShotCounterCount, ":PULS0:COUN:COUN", nullptr, SnapshotForm::None},
    {SystemSetting::SyncAutoUpdate, ":SYST:UPD:AUTO", ":SYST:UPD:AUTO", SnapshotForm::Value},
    {SystemSetting::CycleCount, ":PULS0:CCO", ":PULS0:CCO", SnapshotForm::Value},
};

struct ChannelCommand {
    ChannelSetting setting;
    const char* suffix;
    SnapshotForm snapshot;
};

// In the order of the ChannelSetting enumeration.
constexpr ChannelCommand channelCommands[] = {
    {ChannelSetting::Enabled, ":STAT", SnapshotForm::Value},
    {ChannelSetting::Delay, ":DEL", SnapshotForm::Number},
    {ChannelSetting::Width, ":WIDT", SnapshotForm::Number},
    {ChannelSetting::Mode, ":CMOD", SnapshotForm::Reply},
    {ChannelSetting::BurstCount, ":BCO", SnapshotForm::Value},
    {ChannelSetting::DutyOnCount, ":PCO", SnapshotForm::Value},
    {ChannelSetting::DutyOffCount, ":OCO", SnapshotForm::Value},
    {ChannelSetting::SyncSource, ":SYNC", SnapshotForm::Reply},
    {ChannelSetting::Polarity, ":POL", SnapshotForm::Reply},
    {ChannelSetting::WaitCount, ":WCO", SnapshotForm::Value},
    {ChannelSetting::GateMode, ":CGAT", SnapshotForm::Reply},
    {ChannelSetting::Amplitude, ":OUTP:AMPL", SnapshotForm::Number},
    {ChannelSetting::Mux, ":MUX", SnapshotForm::Value},
    {ChannelSetting::MuxGate, ":MUXG", SnapshotForm::Value},
};

static_assert(std::size(systemCommands) == std::size_t(SystemSetting::CycleCount) + 1);
static_assert(std::size(channelCommands) == std::size_t(ChannelSetting::MuxGate) + 1);

constexpr bool tablesInEnumOrder() {
    for (std::size_t i = 0; i < std::size(systemCommands); ++i) {
        if (std::size_t(systemCommands[i].setting) != i)
            return false;
    }
    for (std::size_t i = 0; i < std::size(channelCommands); ++i) {
        if (std::size_t(channelCommands[i].setting) != i)
            return false;
    }
    return true;
}
static_assert(tablesInEnumOrder());

const SystemCommand& entry(SystemSetting setting) {
    return systemCommands[std::size_t(setting)];
}

const ChannelCommand& entry(ChannelSetting setting) {
    return channelCommands[std::size_t(setting)];
}

bool isChannel(int channel) {
    return channel >= FirstChannel && channel <= LastChannel;
}

// Header, one blank, argument; no line when the argument has no text.
QString line(const QString& header, const QString& argument) {
    if (header.isEmpty() || argument.isEmpty())
        return QString();
    return header + QLatin1Char(' ') + argument;
}

QString systemLine(SystemSetting setting, const QString& argument) {
    return line(QLatin1String(entry(setting).setHeader), argument);
}

QString channelLine(ChannelSetting setting, int channel, const QString& argument) {
    return line(header(setting, channel), argument);
}

QString onOff(bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

QString oneZero(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

// --- Headers -------------------------------------------------------------------

QString header(SystemSetting setting) {
    return QLatin1String(entry(setting).header);
}

SnapshotForm snapshotForm(SystemSetting setting) {
    return entry(setting).snapshot;
}

QString channelHeader(int channel) {
    if (!isChannel(channel))
        return QString();
    return QStringLiteral(":PULS") + QString::number(channel);
}

QString header(ChannelSetting setting, int channel) {
    if (!isChannel(channel))
        return QString();
    return channelHeader(channel) + QLatin1String(entry(setting).suffix);
}

SnapshotForm snapshotForm(ChannelSetting setting) {
    return entry(setting).snapshot;
}

QString identityHeader() {
    return QStringLiteral("*IDN");
}

QString errorStatusHeader() {
    return QStringLiteral("*ERS");
}

bool isErrorReply(const QString& reply) {
    return reply.contains(QLatin1Char('?'));
}

// --- Link and storage ------------------------------------------------------------

QString usbEchoOff() {
    return QStringLiteral(":SYST:COMM:USB:ECH OFF");
}

QString bluetoothEchoOff() {
    return QStringLiteral(":SYST:COMM:BLUE:ECH OFF");
}

QString saveToBin(int bin) {
    if (bin < FirstSaveBin || bin > LastBin)
        return QString();
    return line(QStringLiteral("*SAV"), formatInteger(bin));
}

QString recallBin(int bin) {
    if (bin < DefaultsBin || bin > LastBin)
        return QString();
    return line(QStringLiteral("*RCL"), formatInteger(bin));
}

// --- System timer ------------------------------------------------------------------

QString setPeriod(double seconds) {
    return systemLine(SystemSetting::Period, formatTime(seconds));
}

QString setSystemMode(int index) {
    return systemLine(SystemSetting::Mode, SystemModes.keyword(index));
}

QString setSystemBurstCount(quint64 count) {
    return systemLine(SystemSetting::BurstCount, formatCount(count));
}

QString setSystemDutyOnCount(quint64 count) {
    return systemLine(SystemSetting::DutyOnCount, formatCount(count));
}

QString setSystemDutyOffCount(quint64 count) {
    return systemLine(SystemSetting::DutyOffCount, formatCount(count));
}

QString setExternalMode(int index) {
    return systemLine(SystemSetting::ExternalMode, ExternalModes.keyword(index));
}

QString setTriggerLevel(double volts) {
    return systemLine(SystemSetting::TriggerLevel, formatVolts(volts));
}

QString setTriggerEdge(int index) {
    return systemLine(SystemSetting::TriggerEdge, TriggerEdges.keyword(index));
}

QString setGatePolarity(int index) {
    return systemLine(SystemSetting::GatePolarity, GatePolarities.keyword(index));
}

QString setAutoStart(bool on) {
    return systemLine(SystemSetting::AutoStart, oneZero(on));
}

QString setRunning(bool run) {
    return systemLine(SystemSetting::RunState, onOff(run));
}

QString setPeriodCounterEnabled(bool on) {
    return systemLine(SystemSetting::PeriodCounterEnabled, onOff(on));
}

QString setPeriodCounterAuto(bool on) {
    return systemLine(SystemSetting::PeriodCounterAuto, onOff(on));
}

QString setPeriodCounterCount(qint64 count) {
    return systemLine(SystemSetting::PeriodCounterCount, formatInteger(count));
}

QString clearPeriodCounter() {
    return QStringLiteral(":PULS0:EXTP:CL");
}

QString setShotCounterEnabled(bool on) {
    return systemLine(SystemSetting::ShotCounterEnabled, oneZero(on));
}

QString setShotCounterSource(int index) {
    return systemLine(SystemSetting::ShotCounterSource, ShotCounterSources.keyword(index));
}

QString clearShotCounter() {
    return QStringLiteral(":PULS0:COUN:CL");
}

QString setSyncAutoUpdate(bool automatic) {
    return systemLine(SystemSetting::SyncAutoUpdate, oneZero(automatic));
}

QString executeUpdate() {
    return QStringLiteral(":SYST:UPD:EX");
}

QString setCycleCount(qint64 count) {
    return systemLine(SystemSetting::CycleCount, formatInteger(count));
}

// --- Channels ------------------------------------------------------------------------

QString setChannelEnabled(int channel, bool on) {
    return channelLine(ChannelSetting::Enabled, channel, oneZero(on));
}

QString setChannelDelay(int channel, double seconds) {
    return channelLine(ChannelSetting::Delay, channel, formatDelay(seconds));
}

QString setChannelWidth(int channel, double seconds) {
    return channelLine(ChannelSetting::Width, channel, formatTime(seconds));
}

QString setChannelMode(int channel, int index) {
    return channelLine(ChannelSetting::Mode, channel, ChannelModes.keyword(index));
}

QString setChannelBurstCount(int channel, qint64 count) {
    return channelLine(ChannelSetting::BurstCount, channel, formatInteger(count));
}

QString setChannelDutyOnCount(int channel, qint64 count) {
    return channelLine(ChannelSetting::DutyOnCount, channel, formatInteger(count));
}

QString setChannelDutyOffCount(int channel, qint64 count) {
    return channelLine(ChannelSetting::DutyOffCount, channel, formatInteger(count));
}

QString setChannelSyncSource(int channel, int source) {
    return channelLine(ChannelSetting::SyncSource, channel, SyncSources.keyword(source));
}

QString setChannelPolarity(int channel, int index) {
    return channelLine(ChannelSetting::Polarity, channel, ChannelPolarities.keyword(index));
}

QString setChannelWaitCount(int channel, qint64 count) {
    return channelLine(ChannelSetting::WaitCount, channel, formatInteger(count));
}

QString setChannelGateMode(int channel, int index) {
    return channelLine(ChannelSetting::GateMode, channel, ChannelGateModes.keyword(index));
}

QString setChannelAmplitude(int channel, double volts) {
    return channelLine(ChannelSetting::Amplitude, channel, formatVolts(volts));
}

QString setChannelMux(int channel, int mask) {
    // Bit k combines channel k + 1; there are eight channels.
    if (mask < 0 || mask > 0xFF)
        return QString();
    return channelLine(ChannelSetting::Mux, channel, formatInteger(mask));
}

QString setChannelMuxGate(int channel, int index) {
    return channelLine(ChannelSetting::MuxGate, channel, MuxGateModes.keyword(index));
}

// --- Settings-file lines ----------------------------------------------------------------

QString snapshotNumber(SystemSetting setting, double value) {
    if (snapshotForm(setting) != SnapshotForm::Number)
        return QString();
    return line(header(setting), formatGeneral(value));
}

QString snapshotValue(SystemSetting setting, qint64 value) {
    if (snapshotForm(setting) != SnapshotForm::Value)
        return QString();
    return line(header(setting), formatInteger(value));
}

QString snapshotReply(SystemSetting setting, const QString& reply) {
    if (snapshotForm(setting) != SnapshotForm::Reply)
        return QString();
    // The reply as received, even when it is empty or outside the enumeration.
    return header(setting) + QLatin1Char(' ') + reply;
}

QString snapshotNumber(ChannelSetting setting, int channel, double value) {
    if (snapshotForm(setting) != SnapshotForm::Number)
        return QString();
    return line(header(setting, channel), formatGeneral(value));
}

QString snapshotValue(ChannelSetting setting, int channel, qint64 value) {
    if (snapshotForm(setting) != SnapshotForm::Value)
        return QString();
    return line(header(setting, channel), formatInteger(value));
}

QString snapshotReply(ChannelSetting setting, int channel, const QString& reply) {
    const QString h = header(setting, channel);
    if (snapshotForm(setting) != SnapshotForm::Reply || h.isEmpty())
        return QString();
    return h + QLatin1Char(' ') + reply;
}

bool IsCommandText(const QString& line) {
    constexpr qsizetype kMaxCommandLength = 256;
    if (line.size() > kMaxCommandLength)
        return false;
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u > 0xff)
            return false;
    }
    return true;
}

} // namespace communication::cmd
