#include "desktop/exit_signals.h"
#include "panel/main_form.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

// "-name" or "/name", letters in any case; "=value" may follow where allowed.
bool isSwitch(const QString& arg, const QString& name, QString* value = nullptr) {
    if (arg.size() < 2 || (arg[0] != QLatin1Char('-') && arg[0] != QLatin1Char('/')))
        return false;
    const QString body = arg.mid(1);
    if (body.compare(name, Qt::CaseInsensitive) == 0)
        return true;
    if (value && body.startsWith(name + QLatin1Char('='), Qt::CaseInsensitive)) {
        *value = body.mid(name.size() + 1);
        return true;
    }
    return false;
}

const char* const kHelp =
    "Usage: pg5400 [switches]\n"
    "Control panel for the 5400 family of digital pulse and delay generators.\n"
    "Without switches it scans COM1 to COM100 for an instrument.\n"
    "\n"
    "  -log                logs all instrument traffic to PG5400LogFile_<user>_<time>.txt\n"
    "  -pick               choose the serial port by hand (as holding Space at start)\n"
    "  -demo               demonstration mode without an instrument (as holding left Shift)\n"
    "  -simulate[=MODEL]   serve a simulated instrument (default 5404+) on a pseudo-terminal\n"
    "                      and use it; MODEL is 5402, 5404, 5402+, 5404+, 5452 or 5454\n"
    "  -serve[=PORT]       accept command lines from scripts on TCP PORT (default 5025) of\n"
    "                      127.0.0.1 and ::1; -serve=ADDRESS:PORT listens on ADDRESS instead\n"
    "  --help              show this text\n"
    "  --version           show the program version\n"
    "\n"
    "Switches may also start with \"/\", in any letter case. COM n is the n-th device of\n"
    "PG5400_PORTS (comma-separated paths) when set, otherwise of /dev/ttyACM*, /dev/ttyUSB*,\n"
    "/dev/rfcomm*, /dev/ttyS*.\n";

} // namespace

int main(int argc, char* argv[]) {
    // Before anything can write to a closed standard error.
    pg5400::IgnoreBrokenOutputSignals();
    // Answered before any window system is touched, so they work on a console.
    bool styleNamed = false;
    for (int i = 1; i < argc; ++i) {
        styleNamed = styleNamed || std::strncmp(argv[i], "-style", 6) == 0 ||
                     std::strncmp(argv[i], "--style", 7) == 0;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pg5400 %s\n", PG5400_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(PG5400_VERSION));
    // The panel's fixed layout is drawn for classic etched frames; a style the
    // user names with -style still wins.
    if (!styleNamed && qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE"))
        QApplication::setStyle(QStringLiteral("Windows"));
    QApplication::setApplicationName(QStringLiteral("PG5400"));

    TMainForm::StartOptions options;
    for (const QString& arg : QApplication::arguments().mid(1)) {
        QString model;
        if (isSwitch(arg, QStringLiteral("pick")))
            options.pick = true;
        else if (isSwitch(arg, QStringLiteral("demo")))
            options.demo = true;
        else if (isSwitch(arg, QStringLiteral("log")))
            options.log = true;
        else if (isSwitch(arg, QStringLiteral("simulate"), &model)) {
            options.simulate = true;
            options.simulateModel = model;
        } else if (QString where; isSwitch(arg, QStringLiteral("serve"), &where)) {
            QString error;
            if (!pg5400::ParseServeAddress(where, options.serveAddress, error)) {
                std::fprintf(stderr, "pg5400: %s\n", qPrintable(error));
                return 2;
            }
            options.serve = true;
        }
    }

    return TMainForm::RunProgram(options);
}
