// The main window on whatever screen it opens: placed where it fits, put
// back where the user left it, and, where even its size does not fit, the
// fixed layout kept and the part below the banner strip scrolled.
#pragma once

#include "desktop/designed_sizes.h"

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QString>
#include <functional>

class QMainWindow;
class QScrollArea;
class QWidget;

namespace pg5400 {

// The top-left corner that puts a frame of this size inside the area, as
// near to where it is wanted as it goes; along a side where the frame is
// bigger than the area, the area's own edge.
QPoint FitOnto(const QRect& frame, const QRect& area);

// Where the window was left: its frame's top-left corner and its screen.
struct SavedPlacement {
    QString screen;
    QPoint framePos;
    bool valid = false;
};

// The desktop's usual place for settings (QSettings), or the file that
// PG5400_SETTINGS names, so test and simulator runs can keep the user's own.
SavedPlacement LoadPlacement();
void StorePlacement(const SavedPlacement& placement);

class WindowFit : public QObject {
public:
    // The banner strip above the system group stays in view while the rest
    // scrolls.
    static constexpr int StripHeight = designed::StripHeight;
    static constexpr QPoint DesignedPos{600, 42};

    WindowFit(QMainWindow* window, QScrollArea* scroll, QWidget* client, QList<QWidget*> strip);

    // Before the window is shown: the saved place where its screen still
    // exists and the frame lies on it, else the designed one on the screen
    // the pointer is on; then the size that fits.
    void placeAtStart(bool useSaved);
    // Where the window is now, for the next run (not in runs that must
    // leave the user's settings alone).
    void remember() const;
    void setRemembering(bool on) { remembering = on; }

    // Scrolls, where the client scrolls, until the widget is in view below
    // the strip (its top, where it is taller than the view).
    void bringIntoView(QWidget* widget);
    bool scrolls() const;
    // Called once the window has moved to another screen and fitted there.
    std::function<void(QScreen*)> onScreenChanged;
    // The part of the client in view below the strip, in client coordinates.
    QRect freeView() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the client the view that fits the wanted place's screen; then
    // leaves the frame where it is, puts it at the wanted place as near as
    // the available area allows, or moves it onto the area only where it
    // sticks out.
    enum class Move { Stay, FromWanted, OntoArea };
    void refit(Move move);
    QScreen* screenFor(const QPoint& framePos) const;
    QMargins frameMargins() const;
    void keepStrip(int scrolled);

    QMainWindow* window;
    QScrollArea* scroll;
    QWidget* client;
    QList<QWidget*> strip;
    QList<QPoint> stripPos;
    QList<QWidget*> stacking; // the client's children, bottom first
    QWidget* backdrop;
    QPointer<QScreen> target;
    QPoint wanted;
    bool remembering = true;
    bool watchingScreen = false;
};

} // namespace pg5400
