#pragma once

#include <QString>
#include <QStringList>

// The queue of set lines the editors hand over; the task tick sends them in
// order. It never holds more than MaxQueuedCommands lines.
namespace pg5400 {

inline constexpr int MaxQueuedCommands = 100;

struct TTaskList {
    qint32 RefreshRequested = 0; // nonzero: a full read-back is wanted
    QStringList Commands;        // oldest first, without line end
    int Count() const { return int(Commands.size()); }
};

extern TTaskList TaskList;
extern bool CommandsPending;

enum class QueueResult { Queued, Suspended, Full };

// Appends one line unless commands are suspended (dropped silently) or the
// queue is full (refused; the caller makes that visible).
QueueResult EnqueueCommand(const QString& commandstr);
// Takes the lines queued so far, oldest first, leaving the queue empty.
QStringList TakeQueuedCommands();

void ResetCommandQueue();

} // namespace pg5400
