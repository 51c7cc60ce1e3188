#include "comm/command_set.h"

#include <cstddef>
#include <iterator>

namespace communication::cmd {

namespace {

struct SystemCommand {
    SystemSetting setting;
    const char* header;    // query header, also the settings-file header
    const char* setHeader; // header of the set line
    ReplyType reply;
    SnapshotForm snapshot;
    bool plus;
};

// In the order of the SystemSetting enumeration.
constexpr SystemCommand systemCommands[] = {
    {SystemSetting::Period, ":PULS0:PER", ":PULS0:PER", ReplyType::Number, SnapshotForm::Number,
     false},
    {SystemSetting::Mode, ":PULS0:MOD", ":PULS0:MOD", ReplyType::Keyword, SnapshotForm::Reply,
     false},
    {SystemSetting::BurstCount, ":PULS0:BCO", ":PULS0:BCO", ReplyType::WideInteger,
     SnapshotForm::Value, false},
    {SystemSetting::DutyOnCount, ":PULS0:PCO", ":PULS0:PCO", ReplyType::WideInteger,
     SnapshotForm::Value, false},
    {SystemSetting::DutyOffCount, ":PULS0:OCO", ":PULS0:OCO", ReplyType::WideInteger,
     SnapshotForm::Value, false},
    // The instrument takes both header forms; the panel queries and saves the
    // long one and sets with the short one.
    {SystemSetting::ExternalMode, ":PULS0:EXT:MODE", ":PULS0:EXT:MOD", ReplyType::Keyword,
     SnapshotForm::Reply, false},
    {SystemSetting::TriggerLevel, ":PULS0:EXT:LEV", ":PULS0:EXT:LEV", ReplyType::Number,
     SnapshotForm::Number, false},
    {SystemSetting::TriggerEdge, ":PULS0:EXT:EDG", ":PULS0:EXT:EDG", ReplyType::Keyword,
     SnapshotForm::Reply, false},
    {SystemSetting::GatePolarity, ":PULS0:EXT:POL", ":PULS0:EXT:POL", ReplyType::Keyword,
     SnapshotForm::Reply, false},
    {SystemSetting::AutoStart, ":SYST:AUT", ":SYST:AUT", ReplyType::Integer, SnapshotForm::Value,
     false},
    {SystemSetting::RunState, ":PULS0:STAT", ":PULS0:STAT", ReplyType::Integer, SnapshotForm::None,
     false},
    {SystemSetting::PeriodCounterEnabled, ":PULS0:EXTP:STAT", ":PULS0:EXTP:STAT",
     ReplyType::Integer, SnapshotForm::Value, true},
    {SystemSetting::PeriodCounterAuto, ":PULS0:EXTP:AUT", ":PULS0:EXTP:AUT", ReplyType::Integer,
     SnapshotForm::Value, true},
    {SystemSetting::PeriodCounterCount, ":PULS0:EXTP:NCOU", ":PULS0:EXTP:NCOU", ReplyType::Integer,
     SnapshotForm::Value, true},
    {SystemSetting::PeriodCounterPeriod, ":PULS0:EXTP:PER", nullptr, ReplyType::Number,
     SnapshotForm::None, true},
    {SystemSetting::ShotCounterEnabled, ":PULS0:COUN:STAT", ":PULS0:COUN:STAT", ReplyType::Integer,
     SnapshotForm::Value, true},
    {SystemSetting::ShotCounterSource, ":PULS0:COUN:SOUR", ":PULS0:COUN:SOUR", ReplyType::Keyword,
     SnapshotForm::Reply, true},
    {SystemSetting::ShotCounterCount, ":PULS0:COUN:COUN", nullptr, ReplyType::WideInteger,
     SnapshotForm::None, true},
    {SystemSetting::SyncAutoUpdate, ":SYST:UPD:AUTO", ":SYST:UPD:AUTO", ReplyType::Integer,
     SnapshotForm::Value, true},
    {SystemSetting::CycleCount, ":PULS0:CCO", ":PULS0:CCO", ReplyType::Integer, SnapshotForm::Value,
     true},
};

struct ChannelCommand {
    ChannelSetting setting;
    const char* suffix;
    ReplyType reply;
    SnapshotForm snapshot;
    bool outputOnly;
};

// In the order of the ChannelSetting enumeration.
constexpr ChannelCommand channelCommands[] = {
    {ChannelSetting::Enabled, ":STAT", ReplyType::Integer, SnapshotForm::Value, false},
    {ChannelSetting::Delay, ":DEL", ReplyType::Number, SnapshotForm::Number, false},
    {ChannelSetting::Width, ":WIDT", ReplyType::Number, SnapshotForm::Number, false},
    {ChannelSetting::Mode, ":CMOD", ReplyType::Keyword, SnapshotForm::Reply, false},
    {ChannelSetting::BurstCount, ":BCO", ReplyType::Integer, SnapshotForm::Value, false},
    {ChannelSetting::DutyOnCount, ":PCO", ReplyType::Integer, SnapshotForm::Value, false},
    {ChannelSetting::DutyOffCount, ":OCO", ReplyType::Integer, SnapshotForm::Value, false},
    {ChannelSetting::SyncSource, ":SYNC", ReplyType::Keyword, SnapshotForm::Reply, false},
    {ChannelSetting::Polarity, ":POL", ReplyType::Keyword, SnapshotForm::Reply, false},
    {ChannelSetting::WaitCount, ":WCO", ReplyType::Integer, SnapshotForm::Value, false},
    {ChannelSetting::GateMode, ":CGAT", ReplyType::Keyword, SnapshotForm::Reply, false},
    {ChannelSetting::Amplitude, ":OUTP:AMPL", ReplyType::Number, SnapshotForm::Number, true},
    {ChannelSetting::Mux, ":MUX", ReplyType::Integer, SnapshotForm::Value, true},
    {ChannelSetting::MuxGate, ":MUXG", ReplyType::Integer, SnapshotForm::Value, true},
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

ReplyType replyType(SystemSetting setting) {
    return entry(setting).reply;
}

SnapshotForm snapshotForm(SystemSetting setting) {
    return entry(setting).snapshot;
}

bool isPlusFeature(SystemSetting setting) {
    return entry(setting).plus;
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

ReplyType replyType(ChannelSetting setting) {
    return entry(setting).reply;
}

SnapshotForm snapshotForm(ChannelSetting setting) {
    return entry(setting).snapshot;
}

bool isOutputChannelOnly(ChannelSetting setting) {
    return entry(setting).outputOnly;
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

} // namespace communication::cmd
