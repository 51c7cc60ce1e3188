#include "panel/command_queue.h"

#include "comm/exchange.h"

namespace pg5400 {

TTaskList TaskList;
bool CommandsPending = false;

QueueResult EnqueueCommand(const QString& commandstr, LineReply onReply) {
    if (communication::CommandsSuspended)
        return QueueResult::Suspended;
    if (TaskList.Count() >= MaxQueuedCommands)
        return QueueResult::Full;
    TaskList.Lines.append({commandstr, std::move(onReply)});
    CommandsPending = true;
    return QueueResult::Queued;
}

QueuedLine TakeFirstQueuedCommand() {
    QueuedLine line = TaskList.Lines.takeFirst();
    CommandsPending = !TaskList.Lines.isEmpty();
    return line;
}

void ResetCommandQueue() {
    TaskList = {};
    CommandsPending = false;
}

} // namespace pg5400
