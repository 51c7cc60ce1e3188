#pragma once

// User input as the window system delivers it: queued, and taken by the next
// event pass that accepts user input. A reply wait that holds user input back
// leaves it queued, unlike QTest's input, which is delivered on the spot.

#include <QPoint>
#include <QString>
#include <Qt>

class QWidget;

namespace testsupport {

// A left click on the widget (at its centre unless told).
void QueueClick(QWidget* widget, QPoint at = QPoint(-1, -1));
// A key press and release for the window's focus widget.
void QueueKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = {},
              const QString& text = {});
void QueueText(QWidget* window, const QString& text);
// The window manager's close request (the title bar's close box).
void QueueClose(QWidget* window);

} // namespace testsupport
