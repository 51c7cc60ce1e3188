#include "controls/plusspinedit.h"

#include <QFontInfo>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>

TPlusSpinEdit::TPlusSpinEdit(QWidget* parent) : QWidget(parent) {
    // Opaque: the paint handler covers the text area itself, nothing is erased.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setContentsMargins(1, 1, 1, 1);

    m.onChange = [this] { Change(); };
    m.onSetIncrement = [this] { emit OnSetIncrement(this); };
    m.onDisplayChanged = [this] { refreshDisplay(); };

    fTimer = new QTimer(this);
    fTimer->setObjectName(QStringLiteral("RepeatTimer"));
    // The repeat schedule (500 ms, then every 150 ms) is felt by the hand; a
    // coarse timer strays by 5 %.
    fTimer->setTimerType(Qt::PreciseTimer);
    connect(fTimer, &QTimer::timeout, this, &TPlusSpinEdit::repeatTick);

    fUpButton = new QToolButton(this);
    fUpButton->setObjectName(QStringLiteral("UpButton"));
    fDownButton = new QToolButton(this);
    fDownButton->setObjectName(QStringLiteral("DownButton"));
    for (QToolButton* b : {fUpButton, fDownButton}) {
        // Clicks on a button give the focus to the control, not the button.
        b->setFocusPolicy(Qt::NoFocus);
        b->installEventFilter(this);
    }

    resize(8 * std::abs(QFontInfo(font()).pixelSize()), height());
    measureFont();
}

TPlusSpinEdit::~TPlusSpinEdit() {
    m.onChange = nullptr;
    m.onSetIncrement = nullptr;
    m.onDisplayChanged = nullptr;
}

void TPlusSpinEdit::Change() {
    emit OnChange(this);
}

void TPlusSpinEdit::setMinValue(double v) {
    if (m.setMinValue(v) && fAutoSize)
        applyAutoSize();
}

void TPlusSpinEdit::setMaxValue(double v) {
    if (m.setMaxValue(v) && fAutoSize)
        applyAutoSize();
}

void TPlusSpinEdit::setDecimals(int d) {
    m.setDecimals(d);
    if (fAutoSize)
        applyAutoSize();
}

void TPlusSpinEdit::setBase(int b) {
    if (m.setBase(b) && fAutoSize)
        applyAutoSize();
}

void TPlusSpinEdit::setThousandSeparator(QChar c) {
    // Re-sized as well: grouping widens the text, and the size must not depend
    // on whether the separator was set before or after the bounds.
    if (m.setThousandSeparator(c) && fAutoSize)
        applyAutoSize();
}

void TPlusSpinEdit::setAutoSize(bool on) {
    fAutoSize = on;
    if (on)
        applyAutoSize();
}

void TPlusSpinEdit::setBorderStyle(TBorderStyle style) {
    if (style == fBorderStyle)
        return;
    fBorderStyle = style;
    const int m = style == bsSingle ? 1 : 0;
    setContentsMargins(m, m, m, m);
    // The border takes room from the text: the size is worked out anew.
    if (fAutoSize)
        applyAutoSize();
    LayoutButtons();
    update();
}

void TPlusSpinEdit::setEnabled(bool on) {
    fEnabled = on;
    // Still reached by Tab, but a click must not take the focus.
    setFocusPolicy(on ? Qt::StrongFocus : Qt::TabFocus);
    if (!on) {
        // Input is ignored from now on, so a spin in progress would never end.
        EndSpin();
    }
    LayoutButtons();
    update();
}

void TPlusSpinEdit::refreshDisplay() {
    UpdateDisplayFields();
    update();
}
