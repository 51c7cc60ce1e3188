#include "panel/main_form.h"

#include "comm/comm_log.h"
#include "comm/exchange.h"
#include "comm/terminal_sink.h"
#include "controls/terminal_view.h"
#include "desktop/input_gate.h"
#include "serial/pgcomport.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QTimer>

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    ComPort = new TPGComPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    ComPort->SetAllowEvents(false);
    ComPort->SetBaud(115200);
    ComPort->SetHandshaking(hsNone);
    ComPort->SetParity(parNone);
    ComPort->SetResponseTime(3000);
    ComPort->SetPort(1);
    ComPort->SetShowErrors(true);
    ComPort->SetOnTimeout([this](QObject* sender) { ComPortTimeout(sender); });
    communication::ComPort = ComPort;

    auto makeTimer = [this](const char* name, int interval, void (TMainForm::*handler)(QObject*)) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QLatin1String(name));
        timer->setInterval(interval);
        connect(timer, &QTimer::timeout, this, [this, timer, handler] { (this->*handler)(timer); });
        return timer;
    };
    StatusTimer = makeTimer("StatusTimer", 1000, &TMainForm::StatusTimerTimer);
    TaskTimer = makeTimer("TaskTimer", 5, &TMainForm::TaskTimerTimer);
    TaskTimer->setTimerType(Qt::PreciseTimer);
    LaunchTimer = makeTimer("LaunchTimer", 500, &TMainForm::LaunchTimerTimer);

    BuildLayout();
    FillChannelArrays();
    if (ResponseList) {
        // The view is a plain widget; this is what makes it the terminal.
        struct Echo final : communication::TerminalSink {
            explicit Echo(TerminalView* v) : view(v) {}
            void AppendTerminalLine(const QString& line, const QColor& colour) override {
                view->AppendTerminalLine(line, colour);
            }
            void ClearTerminal() override { view->ClearTerminal(); }
            TerminalView* view;
        };
        terminalEcho = std::make_unique<Echo>(ResponseList);
        communication::SetTerminal(terminalEcho.get());
    }

    // Inside a reply wait timers and painting go on, but the user's keys,
    // clicks and the close box wait until the reply is in; during a read-back
    // or another long operation the gate holds the window instead.
    inputGate = new InputGate(this);
    ComPort->SetEventPump([this] {
        if (inputGate->holding()) {
            QCoreApplication::processEvents();
            return;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        // The glib dispatcher looks at the window system's queue only after a
        // wake-up; the input held back here would otherwise wait for the next
        // one (a mouse move), the close box included.
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->wakeUp();
    });
    // Logging can switch itself off (a failed write): the menu follows.
    communication::SetLoggingStateListener([this](bool enabled) {
        if (EnableLoggingMenu)
            EnableLoggingMenu->setChecked(enabled);
    });
}

TMainForm::~TMainForm() {
    // The exchange primitives must not reach a port or view that is gone.
    if (communication::ComPort == ComPort)
        communication::ComPort = nullptr;
    if (terminalEcho && communication::Terminal() == terminalEcho.get())
        communication::SetTerminal(nullptr);
    communication::SetLoggingStateListener(nullptr);
}

int TMainForm::ChannelOf(const QObject* Sender) {
    if (!Sender)
        return 0;
    const QString name = Sender->objectName();
    if (name.isEmpty())
        return 0;
    const QChar last = name.back();
    return last >= QLatin1Char('1') && last <= QLatin1Char('8') ? last.digitValue() : 0;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // The close box may come while an exchange is on the stack: it takes the
    // same path as File > Exit, and the window outlives the event loop.
    ExitApp();
    event->accept();
}
