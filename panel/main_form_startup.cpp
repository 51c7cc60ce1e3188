// Start-up, shutdown and restart of the panel.
#include "comm/comm_log.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "comm/lost_communication.h"
#include "comm/terminal_sink.h"
#include "controls/plusspinedit.h"
#include "desktop/exit_signals.h"
#include "desktop/keyboard_state.h"
#include "desktop/window_fit.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "scripting/scpi_server.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "sim/pty_server.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/prctl.h>

using namespace pg5400;

namespace {

// The built-in simulated instrument of -simulate; it lives as long as the process.
std::unique_ptr<sim::PtyServer> simulator;

template <typename T>
void fillArray(const TMainForm* form, ChannelArray<T>& array, const char* prefix) {
    for (int n = 1; n <= 8; ++n)
        array[n] = form->findChild<T*>(QLatin1String(prefix) + QString::number(n));
}

const QString kNoDeviceText = QStringLiteral("No device found. Try to reconnect?\n\r\n\r"
                                             "Make sure unit is fully powered on\n\r"
                                             "before selecting Yes");

} // namespace

std::function<bool(const QString&, const QStringList&)> TMainForm::StartDetached =
    [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };

void TMainForm::FillChannelArrays() {
    fillArray(this, ChEnablebox, "ChEnablebox");
    fillArray(this, ChDelayAdj, "ChDelayAdj");
    fillArray(this, ChWidthAdj, "ChWidthAdj");
    fillArray(this, ChModeSel, "ChModeSel");
    fillArray(this, ChAmplitudeAdj, "ChAmplitudeAdj");
    fillArray(this, ChBurstAdj, "ChBurstAdj");
    fillArray(this, ChBurstCountGrp, "ChBurstCountGrp");
    fillArray(this, ChWaitCountAdj, "ChWaitCountAdj");
    fillArray(this, ChSyncSourceSel, "ChSyncSourceSel");
    fillArray(this, ChPolaritySel, "ChPolaritySel");
    fillArray(this, ChDutyOnAdj, "ChDutyOnAdj");
    fillArray(this, ChDutyOnGrp, "ChDutyOnGrp");
    fillArray(this, ChDutyOffAdj, "ChDutyOffAdj");
    fillArray(this, ChDutyOffGrp, "ChDutyOffGrp");
    fillArray(this, ChGateModeSel, "ChGateModeSel");
    fillArray(this, ChMuxSel, "ChMuxSel");
    fillArray(this, ChMuxGateSel, "ChMuxGateSel");
    fillArray(this, ChMuxGateGrp, "ChMuxGateGrp");
}

bool TMainForm::startSimulator(const QString& model) {
    sim::ServerOptions options;
    // It serves for as long as the panel runs; nobody reads its transcript.
    options.keptEntries = 100;
    if (!model.isEmpty())
        options.instrument.model = model.toStdString();
    simulator = std::make_unique<sim::PtyServer>(options);
    if (!simulator->ok() || !simulator->start()) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"),
                              QStringLiteral("The simulated instrument could not be started."));
        simulator.reset();
        return false;
    }
    serialport::SetPortTableOverride({QString::fromStdString(simulator->devicePath())});
    return true;
}

void TMainForm::EnterDemoMode() {
    QMessageBox::information(nullptr, QApplication::applicationName(),
                             QStringLiteral("Entering Demo Mode"));
    DemoMode = true;
    // Nothing is sent in demonstration mode, not even to whatever COM1 is.
    ComPort->Close();
    ComPort->SetOpenAllowed(false);
    StatusTimer->stop();
}

bool TMainForm::FormCreate(const StartOptions& options) {
    started = options;
    // Numbers everywhere use "." and ",", whatever the user's locale says.
    QLocale::setDefault(QLocale::c());
    // Every exchange sleeps 1 ms and waits for its reply in 1 ms polls; the
    // kernel's default 50 us of timer slack on each adds up over a read-back.
    prctl(PR_SET_TIMERSLACK, 1000UL);
    FillChannelArrays();

    if (options.simulate && !startSimulator(options.simulateModel)) {
        ExitApp();
        return false;
    }

    const StartKeys keys = ReadStartKeys();
    if (keys.space || options.pick) {
        if (!ComPort->Pick()) {
            ExitApp();
            return false;
        }
        ComPort->Open();
        ComPort->SetBaud(115200);
        ComPort->SetEndOfResponse(QByteArray("\r"));
        ComPort->SetAllowEvents(false);
        ComPort->SetShowErrors(false);
        ComPort->SetResponseTime(1000);
        // As the scan does: with the echo on, every question of the
        // read-back would read its own echo for a reply.
        communication::SwitchEchoOff();
        if (communication::TerminalSink* t = communication::Terminal())
            t->ClearTerminal();
    } else if (keys.leftShift || options.demo) {
        EnterDemoMode();
    } else if (!communication::ConnectInstrument([this] {
                   if (exitSignals)
                       exitSignals->serveWaiting();
               })) {
        if (communication::ShutdownBegun)
            return false;
        const QStringList findings = communication::ScanFindings();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), kNoDeviceText,
                        QMessageBox::Yes | QMessageBox::No);
        if (!findings.isEmpty()) {
            // Devices that exist but could not be opened, and what to do.
            const QString details = QStringLiteral("Serial devices that could not be opened:\n") +
                                    findings.join(QLatin1Char('\n'));
            box.setDetailedText(details);
            std::fprintf(stderr, "pg5400: %s\n", qPrintable(details));
            for (const QString& line : findings)
                communication::LogNote(line);
        }
        const auto answer = QMessageBox::StandardButton(box.exec());
        if (answer == QMessageBox::Yes) {
            RestartApp();
            return false;
        }
        if (!ReadStartKeys().leftShift) {
            ExitApp();
            return false;
        }
        EnterDemoMode();
    }
    if (communication::ShutdownBegun)
        return false;

    ComPort->SetResponseTime(2000);
    if (!DemoMode)
        communication::SetDeviceLostHandler([this] { portLost(); });
    SettingsSnapshot.clear();
    communication::CaptureLogNameParts();
    if (options.log)
        ToggleLoggingState();
    LaunchTimer->setSingleShot(true);
    LaunchTimer->start();
    Running = false;
    ComPort->SetAllowEvents(true);
    if (options.serve)
        startCommandSocket(options.serveAddress);
    // A simulated instrument is a demonstration: it leaves the place the
    // user keeps for the real one alone.
    windowFit->setRemembering(!options.simulate);
    windowFit->placeAtStart(true);
    return true;
}

void TMainForm::ExitOnSignals() {
    if (exitSignals)
        return;
    IgnoreBrokenOutputSignals();
    exitSignals = new ExitSignals(
        [this](int signal) {
            const QString text = QStringLiteral("Ended by signal %1 (%2)")
                                     .arg(signal)
                                     .arg(QLatin1String(sigabbrev_np(signal)));
            communication::LogNoteWithoutBox(text);
            ExitApp();
            // Last: standard error may lead nowhere any more (a closed pipe).
            std::fprintf(stderr, "pg5400: %s\n", qPrintable(text));
        },
        this);
}

int TMainForm::RunProgram(const StartOptions& options) {
    // Not deleted on close: the close box can come while an exchange waits for
    // its reply deep in the stack; the window goes once the event loop is done.
    TMainForm form;
    form.ExitOnSignals();
    if (!form.FormCreate(options))
        return 0;
    form.show();
    return QApplication::exec();
}

void TMainForm::FormClose() {
    if (isVisible())
        windowFit->remember();
    if (communication::LoggingEnabled)
        communication::CloseLog();
}

void TMainForm::ComPortTimeout(QObject*) {
    communication::CommunicationLost({
        [this] { StatusTimer->stop(); },
        [this] { StatusTimer->start(); },
        [this] { RestartApp(); },
        [this] { ExitApp(); },
    });
}

void TMainForm::Exit1Click(QObject*) {
    ExitApp();
}

void TMainForm::R1Click(QObject*) {
    RestartApp();
}

// Ending can be reached from inside an exchange (a time-out dialog runs in the
// middle of a read): everything still on the stack must unwind without a port.
// So the port is closed at once, every primitive refuses from now on, and the
// component itself goes with the window, from the event loop.
// The window itself is deleted by its owner once the event loop has returned,
// never from inside it.
// Ends the event loop from the next turn, and the loop of any box still
// open: before the main loop has ever run (a start-up box waiting for
// somebody), quit() alone is ignored, and a signal would end nothing. It
// belongs to the window: a window gone (a test's) ends no later loop.
static void endEventLoops(TMainForm* form) {
    QTimer::singleShot(0, form, [] {
        QCoreApplication::quit();
        if (QThread::currentThread()->loopLevel() > 0)
            QCoreApplication::exit(0);
    });
}

static void beginShutdown(TMainForm* form) {
    communication::ShutdownBegun = true;
    form->StatusTimer->stop();
    form->TaskTimer->stop();
    form->LaunchTimer->stop();
    form->ComPort->Close();
    if (pg5400::ScpiServer* socket = form->CommandSocket())
        socket->close();
    form->FormClose();
    SettingsSnapshot.clear();
}

void TMainForm::ExitApp() {
    if (communication::ShutdownBegun)
        return;
    beginShutdown(this);
    hide();
    endEventLoops(this);
}

QStringList TMainForm::restartArguments() const {
    // The simulation, the command socket and the log go on in the new instance, the
    // socket on the port it has now (also one the system picked), so
    // scripts reconnect to the same place.
    QStringList arguments;
    if (started.simulate)
        arguments << (started.simulateModel.isEmpty()
                          ? QStringLiteral("-simulate")
                          : QStringLiteral("-simulate=") + started.simulateModel);
    if (started.serve && commandSocket && commandSocket->port() != 0) {
        pg5400::ServeAddress now = started.serveAddress;
        now.port = commandSocket->port();
        arguments << QStringLiteral("-serve=") + pg5400::ServeAddressText(now);
    }
    // The record goes on where it was being kept (a new file, as at start).
    if (communication::LoggingEnabled)
        arguments << QStringLiteral("-log");
    return arguments;
}

void TMainForm::RestartApp() {
    if (communication::ShutdownBegun)
        return;
    // Taken while the socket still listens: shutting down closes it.
    const QStringList arguments = restartArguments();
    beginShutdown(this);
    QThread::msleep(500);
    StartDetached(QCoreApplication::applicationFilePath(), arguments);
    hide();
    endEventLoops(this);
}

void TMainForm::ToggleLoggingState() {
    communication::ToggleLoggingState();
    if (EnableLoggingMenu)
        EnableLoggingMenu->setChecked(communication::LoggingEnabled);
}

void TMainForm::EnableLoggingMenuClick(QObject*) {
    ToggleLoggingState();
}
