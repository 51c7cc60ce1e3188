// The command queue and the 5 ms task tick that empties it, runs requested
// read-backs and bin recalls, and keeps menu commands from nesting.
#include "comm/comm_log.h"
#include "comm/command_set.h"
#include "comm/exchange.h"
#include "comm/terminal_sink.h"
#include "panel/command_queue.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"

#include <QTimer>

using namespace pg5400;

namespace {

// Without an instrument no port is opened: the terminal shows what would have
// been sent, so the user sees the edit take effect.
void showDemoCommand(const QString& command) {
    communication::EchoToTerminal(command + QStringLiteral("   [demo: not sent]"),
                                  QColor(Qt::gray));
}

} // namespace

void TMainForm::QueuedCommandToPort(const QString& commandstr) {
    if (!commandstr.isEmpty())
        QueueLine(commandstr);
}

void TMainForm::QueueLine(const QString& commandstr) {
    switch (EnqueueCommand(commandstr)) {
    case QueueResult::Suspended:
        return;
    case QueueResult::Full:
        // Refused in plain sight rather than lost without a trace.
        communication::EchoToTerminal(QStringLiteral("Command queue full, not sent: ") + commandstr,
                                      QColor(Qt::red));
        communication::LogQueueFull(commandstr);
        return;
    case QueueResult::Queued:
        TaskTimer->start();
        return;
    }
}

void TMainForm::TaskTimerTimer(QObject*) {
    ProcessTasks();
}

void TMainForm::ProcessTasks() {
    TaskTimer->stop();
    // An exchange already waiting for its reply (a file playback, say) would
    // make SendCommand refuse every queued line: leave them for a later tick.
    if (StatusBusy || TaskBusy || communication::ShutdownBegun || ComPort->InUse()) {
        if (!communication::ShutdownBegun)
            TaskTimer->start();
        return;
    }
    TaskBusy = true;
    if (RecallRequested != 0 || TaskList.RefreshRequested != 0) {
        StatusTimer->stop();
        beginBusy();
        if (RecallRequested != 0)
            communication::SendCommand(communication::cmd::recallBin(RecallBin));
        Initialize();
        RecallRequested = 0;
        TaskList.RefreshRequested = 0;
        endBusy();
        if (communication::ShutdownBegun)
            return;
        StatusTimer->start();
    }
    if (CommandsPending) {
        // Lines queued while this batch waits for replies stay queued, in
        // order, for a later tick.
        for (const QString& command : TakeQueuedCommands()) {
            if (communication::ShutdownBegun)
                return;
            if (DemoMode) {
                showDemoCommand(command);
                continue;
            }
            communication::SendCommand(command);
        }
        CommandsPending = TaskList.Count() > 0;
    }
    TaskBusy = false;
    if (!communication::ShutdownBegun)
        TaskTimer->start();
}

void TMainForm::Up1Click(QObject*) {
    // While a read-back runs its timer is off on purpose; the request and the
    // tick that serves it both wait until it has ended.
    RunWhenIdle([this] {
        TaskList.RefreshRequested = -1;
        TaskTimer->start();
    });
}

void TMainForm::RunWhenIdle(std::function<void()> action) {
    if (busyDepth > 0)
        deferred.push_back(std::move(action));
    else
        action();
}

void TMainForm::beginBusy() {
    ++busyDepth;
}

void TMainForm::endBusy() {
    if (--busyDepth > 0 || deferred.empty())
        return;
    // Run what waited once the current handler has unwound, in arrival order.
    QTimer::singleShot(0, this, [this] {
        std::vector<std::function<void()>> waiting;
        waiting.swap(deferred);
        for (auto& action : waiting)
            RunWhenIdle(std::move(action));
    });
}
