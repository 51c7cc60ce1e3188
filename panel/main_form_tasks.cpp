// The command queue and the 5 ms task tick that empties it, runs requested
// read-backs and bin recalls, and keeps menu commands from nesting. The tick
// runs only while such work waits.
#include "comm/comm_log.h"
#include "comm/command_set.h"
#include "comm/exchange.h"
#include "comm/terminal_sink.h"
#include "desktop/input_gate.h"
#include "panel/command_queue.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "serial/pgcomport.h"

#include <QTimer>

using namespace pg5400;

namespace {

// The tick's rhythm while work waits.
constexpr int kTickMs = 5;

// Without an instrument no port is opened: the terminal shows what would have
// been sent, so the user sees the edit take effect.
void showDemoCommand(const QString& command) {
    communication::EchoToTerminal(command + QStringLiteral("   [demo: not sent]"),
                                  QColor(Qt::gray));
}

} // namespace

bool TMainForm::QueuedCommandToPort(const QString& commandstr) {
    return !commandstr.isEmpty() && QueueLine(commandstr);
}

QueueResult TMainForm::enqueueLine(const QString& line, LineReply onReply) {
    const QueueResult result = EnqueueCommand(line, std::move(onReply));
    // The tick sleeps while nothing waits; a queued line wakes it from the
    // event loop at once (never inside the handler that queued it). A tick
    // already on its way keeps its rhythm.
    if (result == QueueResult::Queued && !TaskTimer->isActive())
        TaskTimer->start(0);
    return result;
}

bool TMainForm::QueueLine(const QString& commandstr) {
    const QueueResult result = enqueueLine(commandstr);
    // The editor that queued it takes the new value into the cache next.
    // (A script's lines change the cache only through the read-back after.)
    if (result == QueueResult::Queued)
        noteSettingsChanged();
    switch (result) {
    case QueueResult::Suspended:
        return true;
    case QueueResult::Full:
        // Refused in plain sight rather than lost without a trace.
        communication::EchoToTerminal(QStringLiteral("Command queue full, not sent: ") + commandstr,
                                      QColor(Qt::red));
        communication::LogQueueFull(commandstr);
        return false;
    case QueueResult::Queued:
        return true;
    }
    return false;
}

bool TMainForm::PortFree() const {
    return !communication::ExchangeInProgress() && !StatusBusy && !TaskBusy && busyDepth == 0;
}

void TMainForm::TaskTimerTimer(QObject*) {
    ProcessTasks();
}

QString TMainForm::sendLine(const QString& command) {
    QString reply;
    if (DemoMode)
        showDemoCommand(command);
    else
        communication::SendCommand(command, reply);
    return reply;
}

void TMainForm::sendQueuedCommands() {
    // One batch: the lines queued by now, taken one at a time from the front
    // so that the queue, unsent lines included, never holds more than its
    // limit. Lines queued while this batch waits for replies stay queued, in
    // order, for a later batch.
    for (qsizetype left = TaskList.Count(); left > 0 && CommandsPending; --left) {
        // The device went away under this batch: what is left waits for it
        // to come back (a read-back follows then) or for the end.
        if (communication::ShutdownBegun || communication::DeviceLost)
            return;
        const QueuedLine line = TakeFirstQueuedCommand();
        const QString reply = sendLine(line.text);
        if (line.onReply)
            line.onReply(reply);
    }
}

void TMainForm::sendEarlierLines() {
    // Only what is queued now: a script that keeps lines in flight would
    // otherwise hold off a read-back for as long as it runs.
    if (CommandsPending && !communication::ShutdownBegun && !communication::DeviceLost &&
        !communication::CommandsSuspended)
        sendQueuedCommands();
}

bool TMainForm::TasksWaiting() const {
    return CommandsPending || RecallRequested != 0 || TaskList.RefreshRequested != 0;
}

void TMainForm::ProcessTasks() {
    TaskTimer->stop();
    TaskTimer->setInterval(kTickMs);
    // Idle, the tick sleeps: whatever queues a line or asks for a read-back
    // starts it again, so the work still goes out within one tick.
    if (communication::ShutdownBegun || !TasksWaiting())
        return;
    // The tick runs inside other exchanges' reply waits too; it comes back
    // once the port is free. A file playback (busy, between two of its lines)
    // lets queued lines through but no read-back.
    const bool loading = RecallRequested != 0 || TaskList.RefreshRequested != 0;
    // A lost device's search asks for a read-back when it is back; until
    // then the tick sleeps.
    if (communication::DeviceLost)
        return;
    if (StatusBusy || TaskBusy || communication::ExchangeInProgress() ||
        (loading && busyDepth > 0)) {
        TaskTimer->start();
        return;
    }
    TaskBusy = true;
    if (loading) {
        StatusTimer->stop();
        beginBusy();
        // Edits made before the refresh or recall was asked for reach the
        // instrument first; the read-back then shows what it holds. Lines
        // queued meanwhile go after it.
        const bool recall = RecallRequested != 0;
        QList<QVariant> before;
        if (recall) {
            sendEarlierLines();
            before = settingValues();
            if (!communication::ShutdownBegun)
                sendLine(communication::cmd::recallBin(RecallBin));
        }
        Initialize(!recall);
        if (recall && !communication::ShutdownBegun)
            noteChangedTogether(RecallBin == 0 ? QStringLiteral("recall of the default settings")
                                               : QStringLiteral("recall of bin %1").arg(RecallBin),
                                before);
        RecallRequested = 0;
        TaskList.RefreshRequested = 0;
        endBusy();
        if (communication::ShutdownBegun)
            return;
        StatusTimer->start();
    }
    if (CommandsPending)
        sendQueuedCommands();
    TaskBusy = false;
    if (!communication::ShutdownBegun && TasksWaiting())
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
    if (busyDepth++ == 0)
        inputGate->hold();
}

void TMainForm::endBusy() {
    if (--busyDepth > 0)
        return;
    inputGate->release();
    if (deferred.empty())
        return;
    // Run what waited once the current handler has unwound, in arrival order.
    QTimer::singleShot(0, this, [this] {
        std::vector<std::function<void()>> waiting;
        waiting.swap(deferred);
        for (auto& action : waiting)
            RunWhenIdle(std::move(action));
    });
}
