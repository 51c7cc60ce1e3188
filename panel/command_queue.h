#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The queue of set lines the editors hand over; the task tick sends them in
// order. It never holds more than MaxQueuedCommands lines.
namespace pg5400 {

inline constexpr int MaxQueuedCommands = 100;

// Called with the instrument's reply once the line has been sent (an empty
// text when none came); lines from the editors have none.
using LineReply = std::function<void(const QString& reply)>;

struct QueuedLine {
    QString text; // without line end
    LineReply onReply;
};

struct TTaskList {
    qint32 RefreshRequested = 0; // nonzero: a full read-back is wanted
    QList<QueuedLine> Lines;     // oldest first
    int Count() const { return int(Lines.size()); }
};

extern TTaskList TaskList;
extern bool CommandsPending;

enum class QueueResult { Queued, Suspended, Full };

// Appends one line unless commands are suspended (dropped silently) or the
// queue is full (refused; the caller makes that visible).
QueueResult EnqueueCommand(const QString& commandstr, LineReply onReply = {});
// Takes the oldest line; the queue must not be empty.
QueuedLine TakeFirstQueuedCommand();

void ResetCommandQueue();

} // namespace pg5400
