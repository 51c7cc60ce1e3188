#include "comm/discovery.h"

#include "comm/command_set.h"
#include "comm/exchange.h"
#include "comm/model_table.h"
#include "comm/terminal_sink.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"

#include <QThread>

namespace communication {

TInstrumentIdentity InstrumentIdentity;
bool PlusOption = false;
bool HighResolution = false;
int ChannelCount = 0;
double SystemResolution = 0.0;

namespace {

constexpr int kLastPort = 100;

// Takes the field before the first delimiter off the front of rest; without
// the delimiter the field is empty and rest stays whole.
QString takeField(QString& rest, QChar delimiter) {
    const qsizetype at = rest.indexOf(delimiter);
    if (at < 0)
        return {};
    const QString field = rest.left(at);
    rest = rest.mid(at + 1);
    return field;
}

} // namespace

void ParseIDNReply(const QString& r) {
    TInstrumentIdentity& id = InstrumentIdentity;
    if (r.size() < 11) {
        id.Manufacturer.clear();
        id.Model.clear();
        id.FirmwareVersion.clear();
        id.FpgaVersion.clear();
        id.SerialNumber = 0;
        return;
    }
    QString rest = r;
    id.Manufacturer = TrimRight(takeField(rest, QLatin1Char(',')));
    id.Model = TrimRight(takeField(rest, QLatin1Char(',')));
    bool ok = false;
    const qint32 serial = TrimRight(takeField(rest, QLatin1Char(','))).trimmed().toInt(&ok);
    if (!ok)
        return;
    id.SerialNumber = serial;
    id.FirmwareVersion = TrimRight(takeField(rest, QLatin1Char('-')));
    id.FpgaVersion = rest;
    // Only the major firmware number is kept; parts that are no integers are
    // tolerated so an odd version text cannot end the scan.
    const qint32 major = TrimRight(id.FirmwareVersion.section(QLatin1Char('.'), 0, 0)).toInt(&ok);
    if (ok)
        id.FirmwareMajor = major;
}

void ParseIDN() {
    ParseIDNReply(QueryText(cmd::identityHeader()));
}

void SwitchEchoOff() {
    SendCommand(cmd::usbEchoOff());
    SendCommand(cmd::bluetoothEchoOff());
}

namespace {
QStringList findings;
} // namespace

QStringList ScanFindings() {
    return findings;
}

bool ConnectInstrument(const std::function<void()>& betweenPorts) {
    findings.clear();
    if (!ComPort)
        return false;
    serialport::ResolvePortTable();
    ComPort->SetBaud(115200);
    ComPort->SetEndOfResponse(QByteArray("\r"));
    ComPort->SetAllowEvents(false);
    ComPort->SetShowErrors(false);
    ComPort->SetResponseTime(100);
    for (int n = 1; n <= kLastPort; ++n) {
        if (betweenPorts)
            betweenPorts();
        if (ShutdownBegun || !ComPort)
            return false;
        ComPort->SetPort(n);
        if (!ComPort->Open()) {
            const QString why = ComPort->LastOpenFailure().describe();
            if (!why.isEmpty())
                findings << QStringLiteral("COM%1 %2: %3")
                                .arg(n)
                                .arg(serialport::DevicePathForPort(n), why);
            continue;
        }
        QThread::msleep(100);
        SwitchEchoOff();
        if (!QueryText(cmd::identityHeader()).isEmpty()) {
            ParseIDN();
            if (IsKnownModel(InstrumentIdentity.Model)) {
                const ModelInfo info = ModelInfoFor(InstrumentIdentity.Model);
                PlusOption = info.plusOption;
                HighResolution = info.highResolution;
                if (TerminalSink* t = Terminal())
                    t->ClearTerminal();
                return true;
            }
        }
        ComPort->Close();
    }
    return false;
}

void ApplyModelTable() {
    ChannelCount = ModelInfoFor(InstrumentIdentity.Model).channelCount;
    SystemResolution = ResolutionFor(PlusOption, HighResolution);
}

void ResetDiscovery() {
    InstrumentIdentity = {};
    PlusOption = false;
    HighResolution = false;
    ChannelCount = 0;
    SystemResolution = 0.0;
    findings.clear();
}

} // namespace communication
