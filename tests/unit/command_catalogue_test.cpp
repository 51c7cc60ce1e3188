#include "comm/command_set.h"
#include "comm/keyword_tables.h"

#include <QTest>

#include <limits>

using namespace communication::cmd;

class CommandCatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void keywordLookupIsExact();
    void setLines_data();
    void setLines();
    void externalModeHeaderForms();
    void switchesOnOffButSaveIntegers();
    void snapshotLines();
    void snapshotKeepsReplyAsReceived();
    void channelAddressing();
    void invalidArgumentsGiveNoLine();
    void errorReplies();
};

Q_DECLARE_METATYPE(const KeywordTable*)

void CommandCatalogueTest::keywordLookupIsExact() {
    // Replies are compared exactly: another case, a blank or an unknown
    // keyword leaves the selection unchanged.
    QCOMPARE(SystemModes.indexOf("burs"), NotFound);
    QCOMPARE(SystemModes.indexOf("BURS "), NotFound);
    QCOMPARE(SystemModes.indexOf(""), NotFound);
    QCOMPARE(ShotCounterSources.indexOf("CHE"), NotFound);
    QCOMPARE(ShotCounterSources.indexOf("CHD"), 4);
    QCOMPARE(ChannelGateModes.indexOf("LOWWR"), 3);
    QCOMPARE(ChannelGateModes.indexOf("LOW"), 1);
    QCOMPARE(ChannelPolarities.indexOf("NORM"), 1);
    QCOMPARE(SystemModes.indexOf("NORM"), 0);
}

void CommandCatalogueTest::setLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    auto row = [](const char* name, const QString& line, const char* expected) {
        QTest::newRow(name) << line << QString::fromLatin1(expected);
    };
    row("usb echo", usbEchoOff(), ":SYST:COMM:USB:ECH OFF");
    row("bluetooth echo", bluetoothEchoOff(), ":SYST:COMM:BLUE:ECH OFF");
    row("save 3", saveToBin(3), "*SAV 3");
    row("save 6", saveToBin(6), "*SAV 6");
    row("recall defaults", recallBin(0), "*RCL 0");
    row("recall 6", recallBin(6), "*RCL 6");

    row("period", setPeriod(0.001), ":PULS0:PER 0.001000000");
    row("system mode", setSystemMode(2), ":PULS0:MOD BURS");
    row("burst count", setSystemBurstCount(4000000000ULL), ":PULS0:BCO 4000000000");
    row("duty on", setSystemDutyOnCount(4294967295ULL), ":PULS0:PCO 4294967295");
    row("duty off", setSystemDutyOffCount(1), ":PULS0:OCO 1");
    row("external rearm", setExternalMode(3), ":PULS0:EXT:MOD REARM");
    row("level", setTriggerLevel(2.5), ":PULS0:EXT:LEV 2.50");
    row("level low", setTriggerLevel(0.2), ":PULS0:EXT:LEV 0.20");
    row("edge", setTriggerEdge(1), ":PULS0:EXT:EDG RIS");
    row("gate polarity", setGatePolarity(1), ":PULS0:EXT:POL HIGH");
    row("auto start on", setAutoStart(true), ":SYST:AUT 1");
    row("auto start off", setAutoStart(false), ":SYST:AUT 0");
    row("run", setRunning(true), ":PULS0:STAT ON");
    row("stop", setRunning(false), ":PULS0:STAT OFF");

    row("period counter auto", setPeriodCounterAuto(true), ":PULS0:EXTP:AUT ON");
    row("period counter count", setPeriodCounterCount(8), ":PULS0:EXTP:NCOU 8");
    row("period counter clear", clearPeriodCounter(), ":PULS0:EXTP:CL");
    row("shot counter on", setShotCounterEnabled(true), ":PULS0:COUN:STAT 1");
    row("shot counter off", setShotCounterEnabled(false), ":PULS0:COUN:STAT 0");
    row("shot counter source", setShotCounterSource(3), ":PULS0:COUN:SOUR CHC");
    row("shot counter clear", clearShotCounter(), ":PULS0:COUN:CL");
    // Checking "Enable" (synchronous update) sends 0.
    row("synchronous update", setSyncAutoUpdate(false), ":SYST:UPD:AUTO 0");
    row("automatic update", setSyncAutoUpdate(true), ":SYST:UPD:AUTO 1");
    row("execute update", executeUpdate(), ":SYST:UPD:EX");
    row("cycle count", setCycleCount(500), ":PULS0:CCO 500");

    row("channel enable", setChannelEnabled(1, true), ":PULS1:STAT 1");
    row("channel disable", setChannelEnabled(1, false), ":PULS1:STAT 0");
    row("delay 100 ns", setChannelDelay(1, 100e-9), ":PULS1:DEL 0.000000100000");
    row("delay negative", setChannelDelay(2, -1.5e-6), ":PULS2:DEL -0.000001500000");
    row("delay 10.5 ns", setChannelDelay(1, 10.5e-9), ":PULS1:DEL 0.000000010500");
    row("width", setChannelWidth(3, 100e-9), ":PULS3:WIDT 0.000000100");
    row("amplitude", setChannelAmplitude(1, 3.3), ":PULS1:OUTP:AMPL 3.30");
    row("channel mode", setChannelMode(4, 2), ":PULS4:CMOD BURS");
    row("channel burst", setChannelBurstCount(1, 1000000), ":PULS1:BCO 1000000");
    row("channel wait", setChannelWaitCount(2, 7), ":PULS2:WCO 7");
    row("channel duty on", setChannelDutyOnCount(3, 2), ":PULS3:PCO 2");
    row("channel duty off", setChannelDutyOffCount(4, 3), ":PULS4:OCO 3");
    row("polarity", setChannelPolarity(1, 0), ":PULS1:POL INV");
    row("gate mode", setChannelGateMode(1, 4), ":PULS1:CGAT HIGHWR");
    row("sync to channel", setChannelSyncSource(1, 2), ":PULS1:SYNC CHB");
    row("sync to T0", setChannelSyncSource(1, 0), ":PULS1:SYNC T0");
    row("sync to H", setChannelSyncSource(7, 8), ":PULS7:SYNC CHH");
    row("mux", setChannelMux(1, 5), ":PULS1:MUX 5");
    row("mux all", setChannelMux(1, 255), ":PULS1:MUX 255");
    row("mux gate", setChannelMuxGate(2, 3), ":PULS2:MUXG 3");
}

void CommandCatalogueTest::setLines() {
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QCOMPARE(line, expected);
}

void CommandCatalogueTest::externalModeHeaderForms() {
    // Set with the short form, query and save with the long one.
    QCOMPARE(setExternalMode(ExternalModes.indexOf("GAT")), QStringLiteral(":PULS0:EXT:MOD GAT"));
    QCOMPARE(header(SystemSetting::ExternalMode), QStringLiteral(":PULS0:EXT:MODE"));
    QCOMPARE(snapshotReply(SystemSetting::ExternalMode, "GAT"),
             QStringLiteral(":PULS0:EXT:MODE GAT"));
}

void CommandCatalogueTest::switchesOnOffButSaveIntegers() {
    QCOMPARE(setPeriodCounterEnabled(true), QStringLiteral(":PULS0:EXTP:STAT ON"));
    QCOMPARE(setPeriodCounterEnabled(false), QStringLiteral(":PULS0:EXTP:STAT OFF"));
    QCOMPARE(snapshotValue(SystemSetting::PeriodCounterEnabled, 1),
             QStringLiteral(":PULS0:EXTP:STAT 1"));
    QCOMPARE(snapshotValue(SystemSetting::PeriodCounterAuto, 0),
             QStringLiteral(":PULS0:EXTP:AUT 0"));
}

void CommandCatalogueTest::snapshotLines() {
    QCOMPARE(snapshotNumber(SystemSetting::Period, 0.001), QStringLiteral(":PULS0:PER 0.001"));
    QCOMPARE(snapshotValue(SystemSetting::BurstCount, 4000000000LL),
             QStringLiteral(":PULS0:BCO 4000000000"));
    QCOMPARE(snapshotReply(SystemSetting::Mode, "NORM"), QStringLiteral(":PULS0:MOD NORM"));
    QCOMPARE(snapshotNumber(SystemSetting::TriggerLevel, 2.5),
             QStringLiteral(":PULS0:EXT:LEV 2.5"));
    QCOMPARE(snapshotValue(SystemSetting::SyncAutoUpdate, 1), QStringLiteral(":SYST:UPD:AUTO 1"));
    QCOMPARE(snapshotNumber(ChannelSetting::Delay, 1, 100e-9), QStringLiteral(":PULS1:DEL 1E-7"));
    QCOMPARE(snapshotNumber(ChannelSetting::Delay, 1, 0.0001), QStringLiteral(":PULS1:DEL 0.0001"));
    QCOMPARE(snapshotNumber(ChannelSetting::Delay, 2, -1.5e-6),
             QStringLiteral(":PULS2:DEL -1.5E-6"));
    QCOMPARE(snapshotNumber(ChannelSetting::Amplitude, 4, 3.3),
             QStringLiteral(":PULS4:OUTP:AMPL 3.3"));
    QCOMPARE(snapshotValue(ChannelSetting::Mux, 1, 5), QStringLiteral(":PULS1:MUX 5"));
    QCOMPARE(snapshotReply(ChannelSetting::SyncSource, 8, "CHA"),
             QStringLiteral(":PULS8:SYNC CHA"));

    // A setting without a settings-file line, or used with the wrong form,
    // gives no line at all rather than a wrong one.
    QVERIFY(snapshotValue(SystemSetting::RunState, 1).isEmpty());
    QVERIFY(snapshotNumber(SystemSetting::PeriodCounterPeriod, 0.001).isEmpty());
    QVERIFY(snapshotValue(SystemSetting::ShotCounterCount, 42).isEmpty());
    QVERIFY(snapshotNumber(SystemSetting::BurstCount, 1.0).isEmpty());
    QVERIFY(snapshotValue(ChannelSetting::Delay, 1, 1).isEmpty());
    QVERIFY(snapshotReply(ChannelSetting::Mux, 1, "5").isEmpty());
}

void CommandCatalogueTest::snapshotKeepsReplyAsReceived() {
    QCOMPARE(snapshotReply(SystemSetting::ShotCounterSource, "CHE"),
             QStringLiteral(":PULS0:COUN:SOUR CHE"));
    QCOMPARE(snapshotReply(ChannelSetting::GateMode, 3, "lowwr"),
             QStringLiteral(":PULS3:CGAT lowwr"));
    // A silent instrument gives an empty keyword; the line records it as is.
    QCOMPARE(snapshotReply(SystemSetting::Mode, QString()), QStringLiteral(":PULS0:MOD "));
}

void CommandCatalogueTest::channelAddressing() {
    QCOMPARE(channelHeader(1), QStringLiteral(":PULS1"));
    QCOMPARE(channelHeader(8), QStringLiteral(":PULS8"));
    QCOMPARE(header(ChannelSetting::Width, 3), QStringLiteral(":PULS3:WIDT"));
    QCOMPARE(header(ChannelSetting::Amplitude, 8), QStringLiteral(":PULS8:OUTP:AMPL"));
    QCOMPARE(header(ChannelSetting::MuxGate, 1), QStringLiteral(":PULS1:MUXG"));
    QCOMPARE(setChannelDelay(8, 0.0), QStringLiteral(":PULS8:DEL 0.000000000000"));

    // Every channel header of every setting is ":PULS" + n + a suffix, and
    // the system timer's headers are all T0 or system headers.
    for (int n = FirstChannel; n <= LastChannel; ++n) {
        for (int s = 0; s <= int(ChannelSetting::MuxGate); ++s) {
            const QString h = header(ChannelSetting(s), n);
            QVERIFY2(h.startsWith(QStringLiteral(":PULS%1:").arg(n)), qPrintable(h));
            QVERIFY2(!h.contains(QLatin1Char(' ')) && !h.contains(QLatin1Char('?')), qPrintable(h));
        }
    }
    for (int s = 0; s <= int(SystemSetting::CycleCount); ++s) {
        const QString h = header(SystemSetting(s));
        QVERIFY2(h.startsWith(QLatin1String(":PULS0:")) || h.startsWith(QLatin1String(":SYST:")),
                 qPrintable(h));
    }
}

void CommandCatalogueTest::invalidArgumentsGiveNoLine() {
    for (int n : {0, 9, -1}) {
        QVERIFY(channelHeader(n).isEmpty());
        QVERIFY(header(ChannelSetting::Delay, n).isEmpty());
        QVERIFY(setChannelDelay(n, 1e-6).isEmpty());
        QVERIFY(setChannelEnabled(n, true).isEmpty());
        QVERIFY(snapshotReply(ChannelSetting::Mode, n, "NORM").isEmpty());
        QVERIFY(snapshotValue(ChannelSetting::Mux, n, 1).isEmpty());
    }
    // A list with no entry selected has index -1: no "header + blank" line.
    QVERIFY(setSystemMode(-1).isEmpty());
    QVERIFY(setExternalMode(4).isEmpty());
    QVERIFY(setTriggerEdge(2).isEmpty());
    QVERIFY(setShotCounterSource(5).isEmpty());
    QVERIFY(setChannelMode(1, -1).isEmpty());
    QVERIFY(setChannelGateMode(1, 5).isEmpty());
    QVERIFY(setChannelMuxGate(1, -1).isEmpty());
    QVERIFY(setChannelMuxGate(1, 4).isEmpty());
    QVERIFY(setChannelSyncSource(1, 9).isEmpty());
    QVERIFY(setChannelSyncSource(1, -1).isEmpty());
    QVERIFY(setChannelMux(1, 256).isEmpty());
    QVERIFY(setChannelMux(1, -1).isEmpty());
    QVERIFY(saveToBin(0).isEmpty());
    QVERIFY(saveToBin(7).isEmpty());
    QVERIFY(recallBin(-1).isEmpty());
    QVERIFY(recallBin(7).isEmpty());

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QVERIFY(setPeriod(nan).isEmpty());
    QVERIFY(setChannelWidth(1, std::numeric_limits<double>::infinity()).isEmpty());
    QVERIFY(setTriggerLevel(nan).isEmpty());
    QVERIFY(snapshotNumber(SystemSetting::Period, nan).isEmpty());
}

void CommandCatalogueTest::errorReplies() {
    QVERIFY(isErrorReply("?"));
    QVERIFY(isErrorReply("ERR? unknown header"));
    QVERIFY(!isErrorReply("0"));
    QVERIFY(!isErrorReply(""));
}

QTEST_APPLESS_MAIN(CommandCatalogueTest)
#include "command_catalogue_test.moc"
