// Identification parsing, the model table, the end-of-response notation and
// the port table: the text rules of the instrument link, without a device.
#include "comm/comm_log.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "comm/model_table.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"

#include <QTest>

using namespace communication;

class TstLinkParsing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { ResetDiscovery(); }

    void parseFullReply() {
        ParseIDNReply(QStringLiteral("PG,5404+,1234,2.1.0-1.0.3"));
        const auto& id = InstrumentIdentity;
        QCOMPARE(id.Manufacturer, QStringLiteral("PG"));
        QCOMPARE(id.Model, QStringLiteral("5404+"));
        QCOMPARE(id.SerialNumber, 1234);
        QCOMPARE(id.FirmwareVersion, QStringLiteral("2.1.0"));
        QCOMPARE(id.FpgaVersion, QStringLiteral("1.0.3"));
        QCOMPARE(id.FirmwareMajor, 2);
    }

    void trailingBlanksOfFieldsGo() {
        ParseIDNReply(QStringLiteral("PG ,5404 , 77 ,3.0.1.2 -1.0.0.9"));
        QCOMPARE(InstrumentIdentity.Model, QStringLiteral("5404"));
        QVERIFY(IsKnownModel(InstrumentIdentity.Model));
        QCOMPARE(InstrumentIdentity.SerialNumber, 77);
        QCOMPARE(InstrumentIdentity.FirmwareVersion, QStringLiteral("3.0.1.2"));
        QCOMPARE(InstrumentIdentity.FirmwareMajor, 3);
        QVERIFY(!IsKnownModel(QStringLiteral("5405")));
        QVERIFY(!IsKnownModel(QStringLiteral("5404 ")));
    }

    void shortReplyClearsButKeepsMajor() {
        ParseIDNReply(QStringLiteral("PG,5454,5,4.0.0-1.0.0"));
        ParseIDNReply(QStringLiteral("PG,5454,5"));
        QCOMPARE(InstrumentIdentity.Model, QString());
        QCOMPARE(InstrumentIdentity.SerialNumber, 0);
        QCOMPARE(InstrumentIdentity.FirmwareVersion, QString());
        QCOMPARE(InstrumentIdentity.FirmwareMajor, 4);
    }

    void replyWithoutCommasHasNoModel() {
        ParseIDNReply(QStringLiteral("PG 5404 1234 2.1.0-1.0.3"));
        QCOMPARE(InstrumentIdentity.Manufacturer, QString());
        QCOMPARE(InstrumentIdentity.Model, QString());
    }

    void badSerialStopsAfterModel() {
        ParseIDNReply(QStringLiteral("PG,5402,1,1.2.3-4.5.6"));
        ParseIDNReply(QStringLiteral("XX,5452,12A4,9.9.9-9.9.9"));
        QCOMPARE(InstrumentIdentity.Manufacturer, QStringLiteral("XX"));
        QCOMPARE(InstrumentIdentity.Model, QStringLiteral("5452"));
        QCOMPARE(InstrumentIdentity.SerialNumber, 1);
        QCOMPARE(InstrumentIdentity.FirmwareVersion, QStringLiteral("1.2.3"));
        QCOMPARE(InstrumentIdentity.FirmwareMajor, 1);
    }

    void oddVersionPartsAreTolerated() {
        ParseIDNReply(QStringLiteral("PG,5404,1,2.0.0-1.0.0"));
        ParseIDNReply(QStringLiteral("PG,5402,8,beta.x-y.z"));
        QCOMPARE(InstrumentIdentity.SerialNumber, 8);
        QCOMPARE(InstrumentIdentity.FirmwareVersion, QStringLiteral("beta.x"));
        QCOMPARE(InstrumentIdentity.FpgaVersion, QStringLiteral("y.z"));
        QCOMPARE(InstrumentIdentity.FirmwareMajor, 2);
        ParseIDNReply(QStringLiteral("PG,5402,8,7.1.0"));
        QCOMPARE(InstrumentIdentity.FirmwareVersion, QString());
        QCOMPARE(InstrumentIdentity.FpgaVersion, QStringLiteral("7.1.0"));
    }

    void modelTable_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<double>("resolution");
        QTest::newRow("5402") << "5402" << 2 << 2 << 1e-8;
        QTest::newRow("5404") << "5404" << 4 << 4 << 1e-8;
        QTest::newRow("5402+") << "5402+" << 4 << 2 << 5e-9;
        QTest::newRow("5404+") << "5404+" << 8 << 4 << 5e-9;
        QTest::newRow("5452") << "5452" << 4 << 2 << 4e-9;
        QTest::newRow("5454") << "5454" << 8 << 4 << 4e-9;
        QTest::newRow("other") << "" << 8 << 0 << 1e-8;
    }

    void modelTable() {
        QFETCH(QString, model);
        QFETCH(int, channels);
        QFETCH(int, outputs);
        QFETCH(double, resolution);
        const ModelInfo info = ModelInfoFor(model);
        QCOMPARE(info.channelCount, channels);
        QCOMPARE(info.outputChannels, outputs);
        QCOMPARE(ResolutionFor(info.plusOption, info.highResolution), resolution);
        InstrumentIdentity.Model = model;
        PlusOption = info.plusOption;
        HighResolution = info.highResolution;
        ApplyModelTable();
        QCOMPARE(ChannelCount, channels);
        QCOMPARE(SystemResolution, resolution);
    }

    void endOfResponseNotation_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("CR") << QByteArray("#13") << QByteArray("\r");
        QTest::newRow("CRLF") << QByteArray("#13#10") << QByteArray("\r\n");
        QTest::newRow("literal then code") << QByteArray("OK#13") << QByteArray("OK\r");
        QTest::newRow("plain") << QByteArray("\r") << QByteArray("\r");
        QTest::newRow("hash alone") << QByteArray("#") << QByteArray();
        QTest::newRow("trailing hash") << QByteArray("#13#") << QByteArray("\r");
        QTest::newRow("non-digit") << QByteArray("#13x") << QByteArray("#13x");
        QTest::newRow("empty code") << QByteArray("##13") << QByteArray("##13");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void endOfResponseNotation() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, raw);
        TPGComPort port;
        port.SetEndOfResponse(text);
        QCOMPARE(port.EndOfResponse(), text);
        QCOMPARE(port.EndOfResponseRaw(), raw);
    }

    void portTableFromEnvironment() {
        qputenv("PG5400_PORTS", "/dev/a, ,/dev/c");
        QCOMPARE(serialport::DevicePathForPort(1), QStringLiteral("/dev/a"));
        QCOMPARE(serialport::DevicePathForPort(2), QString());
        QCOMPARE(serialport::DevicePathForPort(3), QStringLiteral("/dev/c"));
        QCOMPARE(serialport::DevicePathForPort(4), QString());
        QCOMPARE(serialport::DevicePathForPort(0), QString());
        serialport::SetPortTableOverride({QStringLiteral("/dev/sim")});
        QCOMPARE(serialport::DevicePathForPort(1), QStringLiteral("/dev/sim"));
        serialport::SetPortTableOverride({});
        qunsetenv("PG5400_PORTS");
        for (const QString& path : serialport::PortTable())
            QVERIFY(path.startsWith(QStringLiteral("/dev/tty")) ||
                    path.startsWith(QStringLiteral("/dev/rfcomm")));
    }

    void trimRightStopsAtPrintable() {
        QCOMPARE(TrimRight(QStringLiteral("  1.5 \r\n\t\x01")), QStringLiteral("  1.5"));
        QCOMPARE(TrimRight(QStringLiteral("\r\n")), QString());
    }

    void userNameIsSafeInAFileName() {
        QCOMPARE(SafeUserName(QStringLiteral("operator")), QStringLiteral("operator"));
        QCOMPARE(SafeUserName(QStringLiteral("../etc/x y")), QStringLiteral("_._etc_x_y"));
        qputenv("USERNAME", "");
        qputenv("USER", "lab/user");
        CaptureLogNameParts();
        QCOMPARE(UserName, QStringLiteral("lab_user"));
    }
};

QTEST_MAIN(TstLinkParsing)
#include "tst_link_parsing.moc"
