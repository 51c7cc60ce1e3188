// The simulated instrument's state machine, driven line by line.
#include "sim/faults.h"
#include "sim/instrument.h"

#include <QtTest>

using namespace std::chrono_literals;

namespace QTest {
template <> inline char* toString(const std::string& s) {
    return qstrdup(s.c_str());
}
} // namespace QTest

namespace {

sim::Options model(const std::string& name) {
    sim::Options o;
    o.model = name;
    return o;
}

bool isError(const std::string& reply) {
    return reply.find('?') != std::string::npos;
}

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::nanoseconds now{1s};
    sim::Instrument::Clock clock() {
        return [this] { return now; };
    }
};

} // namespace

class TestSimInstrument : public QObject {
    Q_OBJECT

private slots:
    void identity();
    void powerUpReplies_data();
    void powerUpReplies();
    void everyReplyIsAcceptedAsArgument_data();
    void everyReplyIsAcceptedAsArgument();
    void refusals_data();
    void refusals();
    void channelsPerModel_data();
    void channelsPerModel();
    void muxGateHeaderOptional();
    void extendedFeaturesOnlyOnPlusAndHighResolution();
    void externalModeHeaderForms();
    void binsAndRecall();
    void shotCounterFollowsRunAndMode();
    void periodCounterMeasuresTrigger();
    void synchronousUpdateHoldsChanges();
    void errorCode();
    void echoFollowsInterface();
    void exponentReplies();
    void faultSpecs();
};

void TestSimInstrument::identity() {
    sim::Instrument plain;
    QCOMPARE(plain.handleLine("*IDN?"), std::string("PG,5404+,1234,2.1.0-1.0.3"));

    sim::Options o;
    o.manufacturer = "XY";
    o.model = "5452";
    o.serial = "12A4";
    o.firmware = "1.9.2.1";
    o.fpga = "3.0.0";
    sim::Instrument custom(o);
    QCOMPARE(custom.handleLine("*IDN?"), std::string("XY,5452,12A4,1.9.2.1-3.0.0"));
    QVERIFY(isError(custom.handleLine("*IDN")));
}

void TestSimInstrument::powerUpReplies_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("reply");
    QTest::newRow("period") << ":PULS0:PER?"
                            << "0.001000000000";
    QTest::newRow("burst count") << ":PULS0:BCO?"
                                 << "1";
    QTest::newRow("mode") << ":PULS0:MOD?"
                          << "NORM";
    QTest::newRow("ext mode") << ":PULS0:EXT:MODE?"
                              << "DIS";
    QTest::newRow("threshold") << ":PULS0:EXT:LEV?"
                               << "2.50";
    QTest::newRow("run state") << ":PULS0:STAT?"
                               << "0";
    QTest::newRow("sync update") << ":SYST:UPD:AUTO?"
                                 << "1";
    QTest::newRow("shot count") << ":PULS0:COUN:COUN?"
                                << "0";
    QTest::newRow("measured period") << ":PULS0:EXTP:PER?"
                                     << "0.000000000000";
    QTest::newRow("delay") << ":PULS2:DEL?"
                           << "0.000000000000";
    QTest::newRow("width") << ":PULS8:WIDT?"
                           << "0.000000100000";
    QTest::newRow("sync") << ":PULS3:SYNC?"
                          << "T0";
    QTest::newRow("amplitude") << ":PULS1:OUTP:AMPL?"
                               << "5.00";
    QTest::newRow("own channel on mux") << ":PULS3:MUX?"
                                        << "4";
    QTest::newRow("errors") << "*ERS?"
                            << "0";
}

void TestSimInstrument::powerUpReplies() {
    QFETCH(QString, query);
    QFETCH(QString, reply);
    sim::Instrument inst;
    QCOMPARE(QString::fromStdString(inst.handleLine(query.toStdString())), reply);
}

void TestSimInstrument::everyReplyIsAcceptedAsArgument_data() {
    QTest::addColumn<QString>("model");
    for (const char* m : {"5402", "5404", "5402+", "5404+", "5452", "5454", "9999"})
        QTest::newRow(m) << m;
}

// A settings file holds query replies as set arguments: each reply form must
// be accepted back, and a changed value must read back changed.
void TestSimInstrument::everyReplyIsAcceptedAsArgument() {
    QFETCH(QString, model);
    sim::Instrument inst(::model(model.toStdString()));
    const auto headers = inst.settingHeaders();
    QVERIFY(!headers.empty());
    for (const std::string& h : headers) {
        const std::string reply = inst.handleLine(h + "?");
        QVERIFY2(!isError(reply), (h + " -> " + reply).c_str());
        QCOMPARE(inst.handleLine(h + " " + reply), std::string("ok"));
        QCOMPARE(inst.handleLine(h + "?"), reply);
    }
    QCOMPARE(inst.handleLine(":PULS1:DEL -0.000001500000"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS1:DEL?"), std::string("-0.000001500000"));
}

void TestSimInstrument::refusals_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reply");
    const QString range = "? out of range", bad = "? bad argument";
    // Period limits by family.
    QTest::newRow("5402 min") << "5402"
                              << ":PULS0:PER 0.000000200"
                              << "ok";
    QTest::newRow("5402 below") << "5402"
                                << ":PULS0:PER 0.000000190" << range;
    QTest::newRow("5402+ min") << "5402+"
                               << ":PULS0:PER 0.000000050"
                               << "ok";
    QTest::newRow("5402+ above") << "5402+"
                                 << ":PULS0:PER 1000.100000000" << range;
    QTest::newRow("5452 min") << "5452"
                              << ":PULS0:PER 0.000000040"
                              << "ok";
    QTest::newRow("5452 max") << "5452"
                              << ":PULS0:PER 4000.000000000"
                              << "ok";
    QTest::newRow("5404 delay") << "5404"
                                << ":PULS2:DEL -1000.000000000000"
                                << "ok";
    QTest::newRow("5404 delay far") << "5404"
                                    << ":PULS2:DEL -1000.5" << range;
    QTest::newRow("5454 width min") << "5454"
                                    << ":PULS1:WIDT 0.000000008"
                                    << "ok";
    QTest::newRow("5404 width min") << "5404"
                                    << ":PULS1:WIDT 0.000000008" << range;
    // Counts.
    QTest::newRow("burst max") << "5404"
                               << ":PULS0:BCO 4000000000"
                               << "ok";
    QTest::newRow("burst over") << "5404"
                                << ":PULS0:BCO 4000000001" << range;
    QTest::newRow("burst zero") << "5404"
                                << ":PULS0:BCO 0" << range;
    QTest::newRow("mux all 8") << "5404+"
                               << ":PULS1:MUX 255"
                               << "ok";
    QTest::newRow("mux 9th bit") << "5404+"
                                 << ":PULS1:MUX 256" << range;
    QTest::newRow("mux 2 channels") << "5402"
                                    << ":PULS1:MUX 4" << range;
    QTest::newRow("periods to average") << "5404+"
                                        << ":PULS0:EXTP:NCOU 16" << range;
    QTest::newRow("threshold") << "5404"
                               << ":PULS0:EXT:LEV 0.19" << range;
    // Argument forms.
    QTest::newRow("exponent") << "5404"
                              << ":PULS1:DEL 1E-7"
                              << "ok";
    QTest::newRow("comma") << "5404"
                           << ":PULS1:DEL 0,5" << bad;
    QTest::newRow("plus sign") << "5404"
                               << ":PULS1:DEL +0.5" << bad;
    QTest::newRow("inf") << "5404"
                         << ":PULS1:DEL inf" << bad;
    QTest::newRow("two blanks") << "5404"
                                << ":PULS0:BCO  5" << bad;
    QTest::newRow("trailing blank") << "5404"
                                    << ":PULS0:BCO 5 " << bad;
    QTest::newRow("fraction count") << "5404"
                                    << ":PULS0:BCO 5.0" << bad;
    QTest::newRow("lower case word") << "5404"
                                     << ":PULS0:MOD burs" << bad;
    QTest::newRow("switch word") << "5404"
                                 << ":PULS1:STAT ON"
                                 << "ok";
    QTest::newRow("switch other") << "5404"
                                  << ":PULS1:STAT 2" << bad;
    QTest::newRow("own sync") << "5404"
                              << ":PULS2:SYNC CHB" << bad;
    QTest::newRow("sync beyond") << "5404"
                                 << ":PULS2:SYNC CHE" << bad;
    QTest::newRow("sync other") << "5404"
                                << ":PULS2:SYNC CHD"
                                << "ok";
    QTest::newRow("panel name form") << "5404"
                                     << ":PULS2:SYNC ChA" << bad;
    // Line forms.
    QTest::newRow("lower case header") << "5404"
                                       << ":puls0:per?"
                                       << "? unknown header";
    QTest::newRow("query with argument") << "5404"
                                         << ":PULS0:PER? 1" << bad;
    QTest::newRow("set without argument") << "5404"
                                          << ":PULS0:PER"
                                          << "? missing argument";
    QTest::newRow("query an action") << "5404+"
                                     << ":PULS0:COUN:CL?"
                                     << "? not a query";
    QTest::newRow("set a counter") << "5404+"
                                   << ":PULS0:COUN:COUN 5"
                                   << "? query only";
    QTest::newRow("empty line") << "5404"
                                << ""
                                << "? empty line";
    QTest::newRow("system header on channel") << "5404"
                                              << ":PULS1:PER?"
                                              << "? unknown header";
    QTest::newRow("channel header on T0") << "5404"
                                          << ":PULS0:WIDT?"
                                          << "? unknown header";
    QTest::newRow("two digits") << "5404+"
                                << ":PULS10:WIDT?"
                                << "? unknown header";
}

void TestSimInstrument::refusals() {
    QFETCH(QString, model);
    QFETCH(QString, line);
    QFETCH(QString, reply);
    sim::Instrument inst(::model(model.toStdString()));
    const std::string before = inst.handleLine(line.section(' ', 0, 0).toStdString() + "?");
    QCOMPARE(QString::fromStdString(inst.handleLine(line.toStdString())), reply);
    if (reply != "ok" && !line.contains('?') && !before.empty() && !isError(before))
        QCOMPARE(inst.handleLine(line.section(' ', 0, 0).toStdString() + "?"), before);
}

void TestSimInstrument::channelsPerModel_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("outputs");
    QTest::newRow("5402") << "5402" << 2 << 2;
    QTest::newRow("5404") << "5404" << 4 << 4;
    QTest::newRow("5402+") << "5402+" << 4 << 2;
    QTest::newRow("5404+") << "5404+" << 8 << 4;
    QTest::newRow("5452") << "5452" << 4 << 2;
    QTest::newRow("5454") << "5454" << 8 << 4;
    QTest::newRow("other") << "LAB-1" << 8 << 0;
}

void TestSimInstrument::channelsPerModel() {
    QFETCH(QString, model);
    QFETCH(int, channels);
    QFETCH(int, outputs);
    sim::Instrument inst(::model(model.toStdString()));
    for (int n = 1; n <= 9; ++n) {
        const std::string ch = ":PULS" + std::to_string(n);
        const bool exists = n <= channels;
        const bool output = n <= outputs;
        QCOMPARE(!isError(inst.handleLine(ch + ":WIDT?")), exists);
        QCOMPARE(!isError(inst.handleLine(ch + ":POL?")), exists);
        QCOMPARE(!isError(inst.handleLine(ch + ":CGAT?")), exists);
        for (const char* suffix : {":OUTP:AMPL?", ":MUX?", ":MUXG?"}) {
            const std::string reply = inst.handleLine(ch + suffix);
            QVERIFY2(isError(reply) != output, (ch + suffix + " -> " + reply).c_str());
            if (exists && !output)
                QCOMPARE(reply, std::string("? no output on this channel"));
        }
        if (exists && !output)
            QCOMPARE(inst.handleLine(ch + ":OUTP:AMPL 4.00"),
                     std::string("? no output on this channel"));
    }
}

void TestSimInstrument::muxGateHeaderOptional() {
    sim::Options o = model("5404");
    o.muxGate = false;
    sim::Instrument without(o);
    QCOMPARE(without.handleLine(":PULS1:MUXG?"), std::string("? unknown header"));
    QCOMPARE(without.handleLine(":PULS1:MUXG 2"), std::string("? unknown header"));
    QCOMPARE(without.handleLine(":PULS1:MUX?"), std::string("1"));

    sim::Instrument with(model("5404"));
    QCOMPARE(with.handleLine(":PULS1:MUXG 3"), std::string("ok"));
    QCOMPARE(with.handleLine(":PULS1:MUXG?"), std::string("3"));
    QCOMPARE(with.handleLine(":PULS1:MUXG 4"), std::string("? out of range"));
}

void TestSimInstrument::extendedFeaturesOnlyOnPlusAndHighResolution() {
    const std::vector<std::string> lines = {
        ":PULS0:EXTP:STAT ON",  ":PULS0:EXTP:AUT OFF", ":PULS0:EXTP:NCOU 8",   ":PULS0:EXTP:PER?",
        ":PULS0:EXTP:CL",       ":PULS0:COUN:STAT 1",  ":PULS0:COUN:SOUR CHC", ":PULS0:COUN:COUN?",
        ":PULS0:COUN:CL",       ":SYST:UPD:AUTO 0",    ":SYST:UPD:EX",         ":PULS0:CCO 500",
        ":PULS0:EXT:MOD REARM", ":PULS1:CGAT LOWWR",   ":PULS2:CGAT HIGHWR"};
    for (const char* m : {"5402", "5404", "LAB-1"}) {
        sim::Instrument inst(model(m));
        for (const auto& line : lines)
            QVERIFY2(isError(inst.handleLine(line)), (std::string(m) + " " + line).c_str());
    }
    for (const char* m : {"5402+", "5404+", "5452", "5454"}) {
        sim::Instrument inst(model(m));
        for (const auto& line : lines)
            QVERIFY2(!isError(inst.handleLine(line)), (std::string(m) + " " + line).c_str());
    }
    sim::Instrument plus(model("5402+"));
    plus.handleLine(":PULS1:CGAT LOWWR");
    QCOMPARE(plus.handleLine(":PULS1:CGAT?"), std::string("LOWWR"));
    plus.handleLine(":PULS0:EXTP:STAT ON");
    QCOMPARE(plus.handleLine(":PULS0:EXTP:STAT?"), std::string("1"));
}

void TestSimInstrument::externalModeHeaderForms() {
    sim::Instrument inst(model("5404+"));
    QCOMPARE(inst.handleLine(":PULS0:EXT:MOD GAT"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS0:EXT:MODE?"), std::string("GAT"));
    QCOMPARE(inst.handleLine(":PULS0:EXT:MODE TRIG"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS0:EXT:MOD?"), std::string("TRIG"));
    QCOMPARE(inst.handleLine(":PULS0:EXT:MOD REARM"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS0:EXT:MODE?"), std::string("REARM"));
}

void TestSimInstrument::binsAndRecall() {
    sim::Instrument inst(model("5404"));
    inst.handleLine(":PULS0:PER 0.000500000");
    inst.handleLine(":PULS3:CMOD BURS");
    QCOMPARE(inst.handleLine("*SAV 3"), std::string("ok"));
    inst.handleLine(":PULS0:PER 0.002000000");
    inst.handleLine(":PULS0:STAT ON");

    QCOMPARE(inst.handleLine("*RCL 0"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS0:PER?"), std::string("0.001000000000"));
    QCOMPARE(inst.handleLine(":PULS3:CMOD?"), std::string("NORM"));
    QCOMPARE(inst.handleLine(":PULS0:STAT?"), std::string("1")); // run state is no setting

    QCOMPARE(inst.handleLine("*RCL 3"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS0:PER?"), std::string("0.000500000000"));
    QCOMPARE(inst.handleLine(":PULS3:CMOD?"), std::string("BURS"));
    QCOMPARE(inst.handleLine("*RCL 4"), std::string("ok")); // never saved: defaults
    QCOMPARE(inst.handleLine(":PULS0:PER?"), std::string("0.001000000000"));

    inst.reset(); // the bins outlive a power cycle
    QCOMPARE(inst.handleLine(":PULS0:STAT?"), std::string("0"));
    inst.handleLine("*RCL 3");
    QCOMPARE(inst.handleLine(":PULS3:CMOD?"), std::string("BURS"));

    QCOMPARE(inst.handleLine("*SAV 0"), std::string("? out of range"));
    QCOMPARE(inst.handleLine("*SAV 7"), std::string("? out of range"));
    QCOMPARE(inst.handleLine("*RCL 7"), std::string("? out of range"));
    QCOMPARE(inst.handleLine("*RCL"), std::string("? missing argument"));
    QCOMPARE(inst.handleLine("*RCL?"), std::string("? not a query"));
}

void TestSimInstrument::shotCounterFollowsRunAndMode() {
    ManualClock t;
    sim::Instrument inst(model("5404+"), t.clock());
    inst.handleLine(":PULS0:COUN:STAT 1");
    t.now += 50ms; // stopped: nothing counts
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("0"));

    inst.handleLine(":PULS0:STAT ON");
    t.now += 10500us; // 1 ms period
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("10"));
    t.now += 1ms; // the half period left over is not lost
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("11"));

    inst.handleLine(":PULS0:STAT OFF");
    t.now += 1s;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("11"));
    inst.handleLine(":PULS0:COUN:CL");
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("0"));

    // A burst of 3 stops after 3 pulses; a faster period counts faster.
    inst.handleLine(":PULS0:MOD BURS");
    inst.handleLine(":PULS0:BCO 3");
    inst.handleLine(":PULS0:STAT ON");
    t.now += 1s;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("3"));
    inst.handleLine(":PULS0:COUN:CL");
    inst.handleLine(":PULS0:MOD DCYC"); // 2 on, 3 off
    inst.handleLine(":PULS0:PCO 2");
    inst.handleLine(":PULS0:OCO 3");
    inst.handleLine(":PULS0:PER 0.000100000");
    t.now += 1200us; // 12 ticks: on on off off off, on on off off off, on on
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("6"));

    // A disabled source channel gives nothing to count.
    inst.handleLine(":PULS0:MOD NORM");
    inst.handleLine(":PULS0:COUN:CL");
    inst.handleLine(":PULS0:COUN:SOUR CHB");
    inst.handleLine(":PULS2:STAT 0");
    t.now += 10ms;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("0"));
    inst.handleLine(":PULS2:STAT 1");
    t.now += 10ms;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("100"));

    // Counts beyond 32 bits are reported whole.
    inst.handleLine(":PULS0:PER 0.000000050");
    t.now += 300s;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::to_string(100 + 6000000000ULL));
}

void TestSimInstrument::periodCounterMeasuresTrigger() {
    ManualClock t;
    sim::Options o = model("5454");
    o.externalTriggerPeriod = 0.002;
    sim::Instrument inst(o, t.clock());
    inst.handleLine(":PULS0:EXT:MOD TRIG");
    inst.handleLine(":PULS0:EXTP:STAT ON");
    inst.handleLine(":PULS0:EXTP:NCOU 4");
    inst.handleLine(":PULS0:COUN:STAT 1");
    inst.handleLine(":PULS0:STAT ON");
    t.now += 7ms; // three trigger periods: not yet averaged over four
    QCOMPARE(inst.handleLine(":PULS0:EXTP:PER?"), std::string("0.000000000000"));
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("3")); // T0 follows the trigger
    t.now += 1ms;
    QCOMPARE(inst.handleLine(":PULS0:EXTP:PER?"), std::string("0.002000000000"));
    // Without auto update the reading is held; with it, it follows the trigger.
    inst.setExternalTriggerPeriod(0.003);
    t.now += 12ms;
    QCOMPARE(inst.handleLine(":PULS0:EXTP:PER?"), std::string("0.002000000000"));
    QCOMPARE(inst.handleLine(":PULS0:EXTP:AUT ON"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS0:EXTP:PER?"), std::string("0.003000000000"));
    inst.handleLine(":PULS0:EXTP:CL");
    QCOMPARE(inst.handleLine(":PULS0:EXTP:PER?"), std::string("0.000000000000"));

    inst.handleLine(":PULS0:EXT:MOD DIS"); // no trigger input: nothing to measure
    t.now += 1s;
    QCOMPARE(inst.handleLine(":PULS0:EXTP:PER?"), std::string("0.000000000000"));
}

void TestSimInstrument::synchronousUpdateHoldsChanges() {
    ManualClock t;
    sim::Instrument inst(model("5404+"), t.clock());
    inst.handleLine(":PULS0:COUN:STAT 1");
    inst.handleLine(":PULS0:STAT ON");
    QCOMPARE(inst.handleLine(":SYST:UPD:AUTO 0"), std::string("ok"));
    QCOMPARE(inst.handleLine(":PULS0:PER 0.000100000"), std::string("ok"));
    // The query answers with what was received; the outputs keep 1 ms.
    QCOMPARE(inst.handleLine(":PULS0:PER?"), std::string("0.000100000000"));
    QVERIFY(inst.changesPending());
    t.now += 10ms;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("10"));

    QCOMPARE(inst.handleLine(":SYST:UPD:EX"), std::string("ok"));
    QVERIFY(!inst.changesPending());
    t.now += 10ms;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("110"));

    // Back to automatic update: held changes and new ones take effect at once.
    inst.handleLine(":PULS0:PER 0.001000000");
    QVERIFY(inst.changesPending());
    QCOMPARE(inst.handleLine(":SYST:UPD:AUTO 1"), std::string("ok"));
    QVERIFY(!inst.changesPending());
    inst.handleLine(":PULS0:PER 0.000500000");
    QVERIFY(!inst.changesPending());
    t.now += 10ms;
    QCOMPARE(inst.handleLine(":PULS0:COUN:COUN?"), std::string("130"));
}

void TestSimInstrument::errorCode() {
    sim::Options o;
    o.errorCode = 3;
    sim::Instrument inst(o);
    QCOMPARE(inst.handleLine("*ERS?"), std::string("3"));
    QCOMPARE(inst.handleLine("*ERS?"), std::string("3")); // a fault stays until cleared
    inst.setErrorCode(0);
    QCOMPARE(inst.handleLine("*ERS?"), std::string("0"));
    QVERIFY(isError(inst.handleLine("*ERS 1")));
}

void TestSimInstrument::echoFollowsInterface() {
    sim::Instrument usb;
    QVERIFY(usb.echo());
    QCOMPARE(usb.handleLine(":SYST:COMM:BLUE:ECH OFF"), std::string("ok"));
    QVERIFY(usb.echo());
    QCOMPARE(usb.handleLine(":SYST:COMM:USB:ECH OFF"), std::string("ok"));
    QVERIFY(!usb.echo());
    usb.handleLine("*RCL 0"); // recall leaves the interface alone
    QVERIFY(!usb.echo());
    usb.reset();
    QVERIFY(usb.echo());

    sim::Options o;
    o.interface = sim::Interface::Bluetooth;
    sim::Instrument blue(o);
    blue.handleLine(":SYST:COMM:USB:ECH OFF");
    QVERIFY(blue.echo());
    blue.handleLine(":SYST:COMM:BLUE:ECH OFF");
    QVERIFY(!blue.echo());
}

void TestSimInstrument::exponentReplies() {
    sim::Options o;
    o.numberForm = sim::NumberForm::Exponent;
    sim::Instrument inst(o);
    QCOMPARE(inst.handleLine(":PULS0:PER?"), std::string("1.000000000000E-03"));
    QCOMPARE(inst.handleLine(":PULS0:EXT:LEV?"), std::string("2.50E+00"));
    QCOMPARE(inst.handleLine(":PULS1:DEL?"), std::string("0.000000000000E+00"));
    QCOMPARE(inst.handleLine(":PULS1:DEL 1.000000000000E-07"), std::string("ok"));
}

void TestSimInstrument::faultSpecs() {
    sim::Faults f;
    std::string error;
    QVERIFY(sim::applyFaultSpec("silent@3,garbage,late=500@7,delay=20", f, error));
    QVERIFY(sim::applyFaultSpec("disconnect@9", f, error));
    QVERIFY(sim::applyFaultSpec("pace", f, error));
    QCOMPARE(f.faultFor(3), sim::ReplyFault::NoReply);
    QCOMPARE(f.faultFor(7), sim::ReplyFault::Late);
    QCOMPARE(f.faultFor(1), sim::ReplyFault::Garbage);
    QCOMPARE(f.lateBy, 500ms);
    QCOMPARE(f.replyDelay, 20ms);
    QCOMPARE(f.disconnectAfter, std::size_t(9));
    QCOMPARE(f.baud, sim::kDefaultBaud);
    QVERIFY(sim::applyFaultSpec("pace=9600", f, error));
    QCOMPARE(f.baud, 9600u);

    for (const char* bad : {"", "bogus", "silent@0", "silent@x", "delay", "delay@3", "disconnect",
                            "pace=0", "delay=-5"}) {
        sim::Faults g;
        QVERIFY2(!sim::applyFaultSpec(bad, g, error), bad);
        QVERIFY(!error.empty());
    }
}

QTEST_APPLESS_MAIN(TestSimInstrument)
#include "tst_sim_instrument.moc"
