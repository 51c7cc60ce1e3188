#pragma once

#include "timing/timing_model.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <optional>
#include <vector>

class QPainter;
class QFontMetrics;

// One paint routine for the window, the exports and the clipboard: what is
// shown (the view) and where it goes (the geometry) are plain values.
namespace timing {

struct ViewState {
    Ps offset = 0;            // time at the left edge of the lanes
    double psPerPixel = 1000; // horizontal scale
    Ps zero = 0;              // the time the ruler calls 0
    std::optional<Ps> cursorA;
    std::optional<Ps> cursorB;
};

struct PaintParams {
    QRect area;            // the whole diagram
    QString caption;       // a line above the ruler (exports), empty on screen
    QString banner;        // what the outputs do not show yet (stopped, held for Update)
    int headerWidth = 104; // lane names
    int rulerHeight = 30;
    int laneHeight = 34;
    int readoutHeight = 0; // cursor readout under the lanes (the exports have one)
    int scroll = 0;        // lanes scrolled up under the ruler, in pixels
    QFont font;

    int captionHeight() const { return caption.isEmpty() ? 0 : 22; }
    int bannerHeight() const { return banner.isEmpty() ? 0 : 22; }
    // Where the lanes are drawn: right of the names, under the ruler.
    QRect lanesRect(int laneCount) const;
    QRect rulerRect() const;
    int laneTop(int lane) const;
    // The height the diagram needs for so many lanes, none scrolled away.
    int neededHeight(int laneCount) const;
};

inline double XOf(Ps t, const ViewState& v, const PaintParams& p) {
    return p.area.left() + p.headerWidth + double(t - v.offset) / v.psPerPixel;
}
inline Ps TimeAt(double x, const ViewState& v, const PaintParams& p) {
    return v.offset + Ps((x - p.area.left() - p.headerWidth) * v.psPerPixel);
}

struct RulerTick {
    Ps time = 0;
    QString label; // empty for a minor tick
};

// The 1-2-5 step (in picoseconds) of at least `minPs`.
Ps NiceStep(double minPs);
// Ticks over [from, to), counted from `zero`, labelled so that no two labels
// overlap at the scale given.
std::vector<RulerTick> RulerTicks(Ps from, Ps to, Ps zero, double psPerPixel,
                                  const QFontMetrics& metrics);

// The lane colours, T0 first; outputs share one.
QColor LaneColour(const Lane& lane);

void PaintDiagram(QPainter& painter, const Model& model, const ViewState& view,
                  const PaintParams& params);

// "A 1.5 µs   B 2 µs   Δt 500 ns   1/Δt 2 MHz", relative to the zero point.
QString CursorReadout(const ViewState& view);

} // namespace timing
