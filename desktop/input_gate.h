#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QWidget;

// Keeps the user's hands off the window while a long operation (a read-back,
// a recall, a file playback) talks to the instrument. Its replies are awaited
// with events flowing, so without this a click or key press would run an
// editor in the middle of it, whose line the suspended queue drops while the
// control keeps the new value.
//
// While held, presses, key strokes, wheel turns and shortcuts aimed at the
// window (or at a popup opened from it) do not take, and the window shows a
// busy cursor. A release is held back and delivered once the gate opens: a
// button or a check list acts on release, so a press that came just before
// the hold takes effect after it, not inside it where its line would be
// dropped while the control kept the new value. The close box passes,
// so the program can always be ended; dialogs and message boxes of their own
// window are not affected. Holding ends any spin in progress and closes the
// window's popups, whose repeats and choices would otherwise act unseen.
class InputGate : public QObject {
public:
    explicit InputGate(QWidget* window);
    ~InputGate() override;

    // Nestable: the gate opens when every hold has been released.
    void hold();
    void release();
    bool holding() const { return depth > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool belongsToWindow(QObject* receiver) const;

    QPointer<QWidget> window;
    int depth = 0;
    struct HeldRelease {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    std::vector<HeldRelease> heldReleases;
};
