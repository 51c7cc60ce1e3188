#include "desktop/input_gate.h"

#include "controls/plusspinedit.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QWidget>

InputGate::InputGate(QWidget* window) : QObject(window), window(window) {}

InputGate::~InputGate() {
    if (depth > 0)
        qApp->removeEventFilter(this);
}

void InputGate::hold() {
    if (depth++ > 0 || !window)
        return;
    qApp->installEventFilter(this);
    window->setCursor(Qt::BusyCursor);
    for (TPlusSpinEdit* spin : window->findChildren<TPlusSpinEdit*>())
        if (spin->Spinning())
            spin->EndSpin();
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (!belongsToWindow(popup))
            break;
        popup->close();
    }
}

void InputGate::release() {
    if (depth == 0 || --depth > 0)
        return;
    qApp->removeEventFilter(this);
    if (window)
        window->unsetCursor();
    // After the handler that held the gate has unwound, in arrival order.
    for (HeldRelease& held : heldReleases)
        if (held.receiver)
            QCoreApplication::postEvent(held.receiver, held.event.release());
    heldReleases.clear();
}

bool InputGate::belongsToWindow(QObject* receiver) const {
    if (!window)
        return false;
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        // The window itself and its popups (list drop-downs, menus); a dialog
        // is a window of its own and stays usable.
        for (QWidget* top = widget->window(); top; top = top->parentWidget()->window()) {
            if (top == window)
                return true;
            if (top->windowType() != Qt::Popup || !top->parentWidget())
                return false;
        }
        return false;
    }
    // Menu actions reached by their shortcuts.
    if (qobject_cast<QAction*>(receiver)) {
        for (QObject* o = receiver; o; o = o->parent())
            if (o == window)
                return true;
    }
    return false;
}

bool InputGate::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        return belongsToWindow(watched);
    case QEvent::MouseButtonRelease:
        if (!belongsToWindow(watched))
            return false;
        heldReleases.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
        return true;
    default:
        return false;
    }
}
