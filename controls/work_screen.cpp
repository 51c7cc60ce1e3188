#include "controls/work_screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QScreen* WorkScreen() {
    if (QScreen* under = QGuiApplication::screenAt(QCursor::pos()))
        return under;
    return QGuiApplication::primaryScreen();
}

void CentreOnWorkScreen(QWidget* window) {
    const QScreen* screen = WorkScreen();
    if (!screen)
        return;
    QRect frame(QPoint(), window->frameGeometry().size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
