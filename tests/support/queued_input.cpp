#include "tests/support/queued_input.h"

#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

namespace testsupport {

namespace {

using Async = QWindowSystemInterface::AsynchronousDelivery;

QWindow* handleOf(QWidget* widget) {
    QWidget* top = widget->window();
    if (!top->windowHandle())
        top->winId();
    return top->windowHandle();
}

} // namespace

void QueueClick(QWidget* widget, QPoint at) {
    if (at == QPoint(-1, -1))
        at = widget->rect().center();
    QWindow* window = handleOf(widget);
    const QPointF local = widget->mapTo(widget->window(), at);
    const QPointF global = widget->mapToGlobal(at);
    QWindowSystemInterface::handleMouseEvent<Async>(window, local, global, Qt::LeftButton,
                                                    Qt::LeftButton, QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<Async>(window, local, global, Qt::NoButton,
                                                    Qt::LeftButton, QEvent::MouseButtonRelease);
}

void QueueKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QWindow* handle = handleOf(window);
    QWindowSystemInterface::handleKeyEvent<Async>(handle, QEvent::KeyPress, key, modifiers, text);
    QWindowSystemInterface::handleKeyEvent<Async>(handle, QEvent::KeyRelease, key, modifiers, text);
}

void QueueText(QWidget* window, const QString& text) {
    for (const QChar c : text) {
        const int key = c.isLetter() ? int(c.toUpper().unicode()) : int(c.unicode());
        QueueKey(window, key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
    }
}

void QueueClose(QWidget* window) {
    QWindowSystemInterface::handleCloseEvent<Async>(handleOf(window));
}

} // namespace testsupport
