#include "panel/command_queue.h"

#include "comm/exchange.h"

namespace pg5400 {

TTaskList TaskList;
bool CommandsPending = false;

QueueResult EnqueueCommand(const QString& commandstr) {
    if (communication::CommandsSuspended)
        return QueueResult::Suspended;
    if (TaskList.Count() >= MaxQueuedCommands)
        return QueueResult::Full;
    TaskList.Commands.append(commandstr);
    CommandsPending = true;
    return QueueResult::Queued;
}

QStringList TakeQueuedCommands() {
    QStringList batch;
    batch.swap(TaskList.Commands);
    CommandsPending = false;
    return batch;
}

void ResetCommandQueue() {
    TaskList = {};
    CommandsPending = false;
}

} // namespace pg5400
