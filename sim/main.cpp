// pg5400-sim: the simulated instrument on a new pseudo-terminal.
#include "sim/pty_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <ctime>

namespace {

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "pg5400-sim: %s\n", qPrintable(message));
    std::exit(2);
}

unsigned long toCount(const QCommandLineParser& parser, const QString& name) {
    bool ok = false;
    const unsigned long v = parser.value(name).toULong(&ok);
    if (!ok)
        fail(QString("--%1 needs a whole number, not \"%2\"").arg(name, parser.value(name)));
    return v;
}

sim::ServerOptions parseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Plays a 5400-family pulse generator on a new pseudo-terminal. Prints the device path\n"
        "on a line of its own, then answers every line written to it until interrupted\n"
        "(SIGINT or SIGTERM) or until a disconnect fault removes the device.");
    parser.addHelpOption();
    parser.addOptions({
        {"model",
         "Model text of *IDN?: 5402, 5404, 5402+, 5404+, 5452, 5454 or any other "
         "text (8 timing-only channels). Default 5404+.",
         "M", "5404+"},
        {"serial", "Serial number field of *IDN?. Default 1234.", "N", "1234"},
        {"firmware", "Firmware version of *IDN?. Default 2.1.0.", "V", "2.1.0"},
        {"fpga", "FPGA version of *IDN?. Default 1.0.3.", "V", "1.0.3"},
        {"manufacturer", "Manufacturer code of *IDN?. Default PG.", "C", "PG"},
        {"no-mux-gate", "Firmware without the mux gate header: :PULSn:MUXG gets the error reply."},
        {"interface",
         "usb or bluetooth: which echo-off line ends the character echo. "
         "Default usb.",
         "I", "usb"},
        {"ext-period",
         "Seconds between external trigger pulses; they drive T0 in the "
         "triggered modes and the period counter. Default 0 (none).",
         "S", "0"},
        {"error",
         "Error code reported by *ERS? (1 over current, 2 over temperature, "
         "3 fan failure). Default 0.",
         "CODE", "0"},
        {"exponent", "Write seconds and volts in replies with an exponent (1.0E-03) "
                     "instead of fixed point."},
        {"baud",
         "Pace echo and reply bytes at this rate (10 bit times per byte). "
         "Without it bytes go out at once.",
         "B"},
        {"turnaround", "Milliseconds the instrument takes before each reply.", "MS"},
        {"fault",
         "Inject a fault; repeatable, or several joined by \",\". FAULT is one of:\n"
         "  delay=MS         every reply waits MS more\n"
         "  silent[@N]       no reply (to line N only)\n"
         "  garbage[@N]      noise instead of the reply\n"
         "  nocr[@N]         reply ends in LF without CR\n"
         "  late[=MS][@N]    reply after MS (default 3000)\n"
         "  pace[=BAUD]      pace bytes (default 115200)\n"
         "  disconnect@N     remove the device after answering line N\n"
         "Lines count from 1 since the start.",
         "FAULT"},
        {"transcript", "Write every received line and reply with a time stamp to FILE.", "FILE"},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail("unexpected argument \"" + parser.positionalArguments().first() + "\"");

    sim::ServerOptions o;
    // Serves for as long as it runs: the file, when asked for, is the record.
    o.keptEntries = 100;
    o.instrument.model = parser.value("model").toStdString();
    o.instrument.serial = parser.value("serial").toStdString();
    o.instrument.firmware = parser.value("firmware").toStdString();
    o.instrument.fpga = parser.value("fpga").toStdString();
    o.instrument.manufacturer = parser.value("manufacturer").toStdString();
    o.instrument.muxGate = !parser.isSet("no-mux-gate");
    const QString iface = parser.value("interface").toLower();
    if (iface != "usb" && iface != "bluetooth")
        fail("--interface is usb or bluetooth");
    o.instrument.interface = iface == "usb" ? sim::Interface::Usb : sim::Interface::Bluetooth;
    bool ok = false;
    o.instrument.externalTriggerPeriod = parser.value("ext-period").toDouble(&ok);
    if (!ok || o.instrument.externalTriggerPeriod < 0)
        fail("--ext-period needs a number of seconds");
    o.instrument.errorCode = parser.value("error").toInt(&ok);
    if (!ok)
        fail("--error needs a whole number");
    if (parser.isSet("exponent"))
        o.instrument.numberForm = sim::NumberForm::Exponent;

    for (const QString& text : parser.values("fault")) {
        std::string error;
        if (!sim::applyFaultSpec(text.toStdString(), o.faults, error))
            fail(QString::fromStdString(error));
    }
    if (parser.isSet("baud")) {
        o.faults.baud = unsigned(toCount(parser, "baud"));
        if (o.faults.baud == 0)
            fail("--baud needs a rate above 0");
    }
    if (parser.isSet("turnaround"))
        o.faults.turnaround = std::chrono::milliseconds(toCount(parser, "turnaround"));
    o.transcriptPath = parser.value("transcript").toStdString();
    return o;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("pg5400-sim");
    const sim::ServerOptions options = parseOptions(app);

    // Blocked before the serving thread exists, so only sigtimedwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::PtyServer server(options);
    if (!server.start())
        fail(QString::fromStdString(server.error()));
    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "pg5400-sim: model %s serving on %s\n", options.instrument.model.c_str(),
                 server.devicePath().c_str());

    const timespec tick{0, 200'000'000};
    while (server.connected()) {
        if (sigtimedwait(&stopSignals, nullptr, &tick) > 0)
            break;
    }
    if (!server.connected())
        std::fprintf(stderr, "pg5400-sim: device removed\n");
    server.stop();
    return 0;
}
