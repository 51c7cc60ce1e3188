// Keyboard, mouse, spin buttons with auto-repeat, and focus of TPlusSpinEdit.
#include "controls/plusspinedit.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

void TPlusSpinEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool arrow =
        key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
    // Arrow keys always stay with the control instead of moving the focus.
    event->setAccepted(arrow);
    if (!fEnabled)
        return;
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Keyboard auto-repeat delivers one press per step.
        m.beginSpin();
        update(); // the caret hides for the spin
        if (key == Qt::Key_Up)
            m.SpinUp();
        else
            m.SpinDown();
        return;
    case Qt::Key_Left:
        // Only while there is room left of the focus digit.
        if (fFocusLeft > fDigitWidth - 2)
            m.SetIncExponent(m.IncExponent() + 1);
        return;
    case Qt::Key_Right:
        if (m.IncExponent() > -m.Decimals())
            m.SetIncExponent(m.IncExponent() - 1);
        return;
    default:
        break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (key == Qt::Key_0 && (mods & Qt::ControlModifier)) {
        event->accept();
        RightZero();
        return;
    }
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return;
    const QString text = event->text();
    if (text.size() == 1 && TSpinValueModel::DigitValue(text.front()) >= 0) {
        event->accept();
        typeCharacter(text.front());
    }
}

void TPlusSpinEdit::keyReleaseEvent(QKeyEvent* event) {
    event->ignore();
    // X11 pairs every auto-repeated press with a release; only the real
    // release ends the spin.
    if (!fEnabled || event->isAutoRepeat())
        return;
    endSpin();
}

void TPlusSpinEdit::typeCharacter(QChar c) {
    if (m.typeDigit(c) == TSpinValueModel::DigitResult::Invalid)
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(),
                              QStringLiteral("Not a valid number"));
}

void TPlusSpinEdit::EndSpin() {
    fTimer->stop();
    endSpin();
}

void TPlusSpinEdit::endSpin() {
    if (m.endSpin()) // fires the owed OnChange when TrackSpin is off
        update();
}

void TPlusSpinEdit::clickAt(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int x = event->position().toPoint().x() - clientRect().left();
        m.SetIncExponent(
            m.exponentAt(x, fCapXStart, [this](const QString& s) { return textWidth(s); }));
    }
    if (hasFocus())
        update();
    else
        setFocus(Qt::MouseFocusReason);
}

void TPlusSpinEdit::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (fEnabled)
        clickAt(event);
}

void TPlusSpinEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (!fEnabled)
        return;
    // The second press of a double click moves the focus digit first.
    clickAt(event);
    if (event->button() == Qt::LeftButton)
        RightZero();
}

void TPlusSpinEdit::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TPlusSpinEdit::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // A modal box raised by an OnChange handler takes the focus and the key or
    // button release with it; end the spin here so it cannot run on unseen.
    EndSpin();
    update();
}

bool TPlusSpinEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fUpButton || watched == fDownButton) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                ButtonMouseDown(static_cast<QToolButton*>(watched));
            break;
        case QEvent::MouseButtonRelease:
            ButtonMouseUp();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TPlusSpinEdit::ButtonMouseDown(QToolButton* button) {
    if (!fEnabled)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    m.beginSpin();
    update();
    fRepeatUp = button == fUpButton;
    fTimer->setInterval(InitRepeatPause);
    fTimer->start();
    // The first step comes with the press, whatever the button shows.
    if (fRepeatUp)
        m.SpinUp();
    else
        m.SpinDown();
}

void TPlusSpinEdit::ButtonMouseUp() {
    // The timer stops on every release, so that a spin ended meanwhile by a
    // key release cannot leave it stepping.
    fTimer->stop();
    if (fEnabled)
        endSpin();
}

void TPlusSpinEdit::repeatTick() {
    if (!fEnabled)
        return;
    if (fTimer->interval() != RepeatPause)
        fTimer->setInterval(RepeatPause);
    // While the pointer is held off the button, it shows released: no step.
    const QToolButton* button = fRepeatUp ? fUpButton : fDownButton;
    if (!button->isDown())
        return;
    if (fRepeatUp)
        m.SpinUp();
    else
        m.SpinDown();
}
