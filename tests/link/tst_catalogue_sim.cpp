// The panel's command catalogue against the simulated instrument, through the
// real exchange primitives on a pseudo-terminal: every set line is accepted,
// every query reads back what was set, on every model; the scan finds a
// simulated instrument among other devices.
#include "comm/command_set.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "comm/model_table.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "sim/pty_server.h"
#include "tests/support/pty_peer.h"

#include <QTest>
#include <cmath>
#include <functional>

using namespace communication;
namespace c = communication::cmd;

namespace {

// How the panel reads each reply: the query primitive that applies.
enum class Parse { None, Integer, WideInteger, Number, Keyword };

struct Check {
    QString set;    // the catalogue's set line
    QString header; // the catalogue's query header
    Parse type;
    double number = 0; // expected number or count
    const c::KeywordTable* table = nullptr;
    int index = 0; // expected keyword index
};

std::unique_ptr<sim::PtyServer> serve(const std::string& model) {
    sim::ServerOptions options;
    options.instrument.model = model;
    auto server = std::make_unique<sim::PtyServer>(options);
    if (!server->ok() || !server->start())
        return nullptr;
    return server;
}

} // namespace

class TstCatalogueSim : public QObject {
    Q_OBJECT

    std::unique_ptr<TPGComPort> port;

    void verify(const Check& k) {
        QString reply;
        SendCommand(k.set, reply);
        QVERIFY2(reply == QStringLiteral("ok"), qPrintable(k.set + " -> " + reply));
        switch (k.type) {
        case Parse::Number: {
            const double got = QueryFloat(k.header);
            QVERIFY2(std::abs(got - k.number) <= 1e-12 * std::max(1.0, std::abs(k.number)),
                     qPrintable(k.header + " " + QString::number(got, 'g', 17)));
            break;
        }
        case Parse::WideInteger:
            QCOMPARE(double(QueryInt64(k.header)), k.number);
            break;
        case Parse::Integer:
            QCOMPARE(double(QueryInteger(k.header)), k.number);
            break;
        case Parse::Keyword:
            QCOMPARE(k.table->indexOf(QueryText(k.header)), k.index);
            break;
        case Parse::None:
            break;
        }
    }

    // Sends the settings-file line of what the instrument now holds and
    // checks it is accepted: a saved file must play back.
    void verifySnapshotLine(const QString& line) {
        QString reply;
        SendCommand(line, reply);
        QVERIFY2(reply == QStringLiteral("ok"), qPrintable(line + " -> " + reply));
    }

private Q_SLOTS:
    void init() {
        ResetExchange();
        ResetDiscovery();
        port = std::make_unique<TPGComPort>();
        port->SetShowErrors(false);
        ComPort = port.get();
    }
    void cleanup() {
        ResetExchange();
        port.reset();
        serialport::SetPortTableOverride({});
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("model");
        for (const char* m : {"5402", "5404", "5402+", "5404+", "5452", "5454", "9999"})
            QTest::newRow(m) << QString::fromLatin1(m);
    }

    void roundTrip() {
        QFETCH(QString, model);
        auto server = serve(model.toStdString());
        QVERIFY(server);
        serialport::SetPortTableOverride({QString::fromStdString(server->devicePath())});
        const bool known = IsKnownModel(model);
        QCOMPARE(ConnectInstrument(), known);
        if (!known) { // picked by hand: no identification
            port->SetPort(1);
            QVERIFY(port->Open());
            port->SetEndOfResponse("\r");
            SendCommand(c::usbEchoOff());
        }
        port->SetResponseTime(1000);
        const ModelInfo info = ModelInfoFor(model);
        const bool extended = info.plusOption || info.highResolution;

        std::vector<Check> system = {
            {c::setPeriod(0.000123456), c::header(c::SystemSetting::Period), Parse::Number,
             0.000123456},
            {c::setSystemMode(2), c::header(c::SystemSetting::Mode), Parse::Keyword, 0,
             &c::SystemModes, 2},
            {c::setSystemBurstCount(4000000000ull), c::header(c::SystemSetting::BurstCount),
             Parse::WideInteger, 4000000000.0},
            {c::setSystemDutyOnCount(17), c::header(c::SystemSetting::DutyOnCount),
             Parse::WideInteger, 17},
            {c::setSystemDutyOffCount(23), c::header(c::SystemSetting::DutyOffCount),
             Parse::WideInteger, 23},
            {c::setExternalMode(2), c::header(c::SystemSetting::ExternalMode), Parse::Keyword, 0,
             &c::ExternalModes, 2},
            {c::setTriggerLevel(3.75), c::header(c::SystemSetting::TriggerLevel), Parse::Number,
             3.75},
            {c::setTriggerEdge(0), c::header(c::SystemSetting::TriggerEdge), Parse::Keyword, 0,
             &c::TriggerEdges, 0},
            {c::setGatePolarity(0), c::header(c::SystemSetting::GatePolarity), Parse::Keyword, 0,
             &c::GatePolarities, 0},
            {c::setAutoStart(true), c::header(c::SystemSetting::AutoStart), Parse::Integer, 1},
        };
        if (extended) {
            system.push_back({c::setExternalMode(3), c::header(c::SystemSetting::ExternalMode),
                              Parse::Keyword, 0, &c::ExternalModes, 3});
            system.push_back({c::setPeriodCounterCount(8),
                              c::header(c::SystemSetting::PeriodCounterCount), Parse::Integer, 8});
            system.push_back({c::setPeriodCounterEnabled(true),
                              c::header(c::SystemSetting::PeriodCounterEnabled), Parse::Integer,
                              1});
            system.push_back({c::setPeriodCounterAuto(true),
                              c::header(c::SystemSetting::PeriodCounterAuto), Parse::Integer, 1});
            system.push_back({c::setShotCounterEnabled(true),
                              c::header(c::SystemSetting::ShotCounterEnabled), Parse::Integer, 1});
            system.push_back({c::setShotCounterSource(3),
                              c::header(c::SystemSetting::ShotCounterSource), Parse::Keyword, 0,
                              &c::ShotCounterSources, 3});
            system.push_back({c::setSyncAutoUpdate(false),
                              c::header(c::SystemSetting::SyncAutoUpdate), Parse::Integer, 0});
            system.push_back({c::setCycleCount(500), c::header(c::SystemSetting::CycleCount),
                              Parse::Integer, 500});
        }
        for (const Check& k : system)
            verify(k);

        for (int ch = 1; ch <= info.channelCount; ++ch) {
            const int sync = ch == 1 ? 2 : 1; // never the channel itself
            std::vector<Check> checks = {
                {c::setChannelEnabled(ch, false), c::header(c::ChannelSetting::Enabled, ch),
                 Parse::Integer, 0},
                {c::setChannelDelay(ch, -0.000001234565), c::header(c::ChannelSetting::Delay, ch),
                 Parse::Number, -0.000001234565},
                {c::setChannelWidth(ch, 0.00000025), c::header(c::ChannelSetting::Width, ch),
                 Parse::Number, 0.00000025},
                {c::setChannelMode(ch, 3), c::header(c::ChannelSetting::Mode, ch), Parse::Keyword,
                 0, &c::ChannelModes, 3},
                {c::setChannelBurstCount(ch, 999999), c::header(c::ChannelSetting::BurstCount, ch),
                 Parse::Integer, 999999},
                {c::setChannelDutyOnCount(ch, 5), c::header(c::ChannelSetting::DutyOnCount, ch),
                 Parse::Integer, 5},
                {c::setChannelDutyOffCount(ch, 6), c::header(c::ChannelSetting::DutyOffCount, ch),
                 Parse::Integer, 6},
                {c::setChannelSyncSource(ch, sync), c::header(c::ChannelSetting::SyncSource, ch),
                 Parse::Keyword, 0, &c::SyncSources, sync},
                {c::setChannelPolarity(ch, 0), c::header(c::ChannelSetting::Polarity, ch),
                 Parse::Keyword, 0, &c::ChannelPolarities, 0},
                {c::setChannelWaitCount(ch, 77), c::header(c::ChannelSetting::WaitCount, ch),
                 Parse::Integer, 77},
                {c::setChannelGateMode(ch, extended ? 4 : 2),
                 c::header(c::ChannelSetting::GateMode, ch), Parse::Keyword, 0,
                 &c::ChannelGateModes, extended ? 4 : 2},
            };
            if (ch <= info.outputChannels) {
                checks.push_back({c::setChannelAmplitude(ch, 3.3),
                                  c::header(c::ChannelSetting::Amplitude, ch), Parse::Number, 3.3});
                const int mask = (1 << info.channelCount) - 1;
                checks.push_back({c::setChannelMux(ch, mask), c::header(c::ChannelSetting::Mux, ch),
                                  Parse::Integer, double(mask)});
                checks.push_back({c::setChannelMuxGate(ch, 3),
                                  c::header(c::ChannelSetting::MuxGate, ch), Parse::Integer, 3});
            } else {
                // Virtual channels have no output: the instrument refuses.
                QVERIFY(c::isErrorReply(QueryText(c::header(c::ChannelSetting::Amplitude, ch))));
                QVERIFY(c::isErrorReply(QueryText(c::header(c::ChannelSetting::MuxGate, ch))));
            }
            for (const Check& k : checks)
                verify(k);
            verifySnapshotLine(c::snapshotNumber(
                c::ChannelSetting::Delay, ch, QueryFloat(c::header(c::ChannelSetting::Delay, ch))));
            verifySnapshotLine(c::snapshotReply(c::ChannelSetting::Mode, ch,
                                                QueryText(c::header(c::ChannelSetting::Mode, ch))));
        }
        verifySnapshotLine(c::snapshotNumber(c::SystemSetting::Period,
                                             QueryFloat(c::header(c::SystemSetting::Period))));
        verifySnapshotLine(c::snapshotValue(c::SystemSetting::BurstCount,
                                            QueryInt64(c::header(c::SystemSetting::BurstCount))));
        verifySnapshotLine(c::snapshotReply(c::SystemSetting::ExternalMode,
                                            QueryText(c::header(c::SystemSetting::ExternalMode))));

        // Bins: save, change, recall; bin 0 gives the power-up defaults back.
        verify({c::saveToBin(3), c::header(c::SystemSetting::Period), Parse::Number, 0.000123456});
        verify({c::setPeriod(0.5), c::header(c::SystemSetting::Period), Parse::Number, 0.5});
        verify({c::recallBin(3), c::header(c::SystemSetting::Period), Parse::Number, 0.000123456});
        QString reply;
        SendCommand(c::recallBin(0), reply);
        QCOMPARE(reply, QStringLiteral("ok"));
        QVERIFY(QueryFloat(c::header(c::SystemSetting::Period)) != 0.000123456);
        QVERIFY(!c::isErrorReply(QueryText(c::errorStatusHeader())));
    }

    void scanFindsSimulatorAmongOtherDevices() {
        testsupport::PtyPeer silent;
        auto other = serve("5405");
        auto wanted = serve("5454");
        QVERIFY(other && wanted);
        serialport::SetPortTableOverride({QString::fromStdString(silent.path()),
                                          QStringLiteral("/nonexistent"),
                                          QString::fromStdString(other->devicePath()),
                                          QString::fromStdString(wanted->devicePath())});
        QVERIFY(ConnectInstrument());
        QCOMPARE(port->Port(), 4);
        QCOMPARE(InstrumentIdentity.Model, QStringLiteral("5454"));
        QVERIFY(HighResolution);
        QVERIFY(!PlusOption);
        // The echo-off lines reached the instrument before its identity was asked.
        const auto lines = wanted->lines();
        QVERIFY(lines.size() >= 3);
        QCOMPARE(QString::fromStdString(lines[0]), c::usbEchoOff());
        QCOMPARE(QString::fromStdString(lines[1]), c::bluetoothEchoOff());
    }
};

QTEST_MAIN(TstCatalogueSim)
#include "tst_catalogue_sim.moc"
