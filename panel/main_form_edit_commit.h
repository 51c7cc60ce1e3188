#pragma once

// How an editor hands its line to the queue, shared by the editors of every
// page: the cache takes the new value only once the line is queued; a refused
// line (queue full, no valid command) leaves the cache as it is and the
// control shows the cached value again without running its handler.

#include "controls/plusspinedit.h"
#include "panel/main_form.h"

#include <QSignalBlocker>

template <typename T>
bool TMainForm::commitSpin(TPlusSpinEdit* edit, T& cached, T value, const QString& line) {
    if (QueuedCommandToPort(line)) {
        noteUserEdit(edit, double(cached), double(value));
        cached = value;
        return true;
    }
    const QSignalBlocker quiet(edit);
    edit->setValue(double(cached));
    return false;
}
