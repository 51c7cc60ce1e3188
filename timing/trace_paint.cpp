#include "timing/trace_paint.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace timing {

namespace {

constexpr int kLaneMargin = 7; // between a lane's border and its high level

const QColor kInk(0x20, 0x20, 0x20);
const QColor kGrid(0xe4, 0xe4, 0xe4);
const QColor kGrey(0xa8, 0xa8, 0xa8);
const QColor kError(0xc0, 0x20, 0x20);
const QColor kCursorA(0x1f, 0x6f, 0xd0);
const QColor kCursorB(0xd0, 0x6f, 0x1f);

QFont smaller(const QFont& font, double factor) {
    QFont f = font;
    f.setPointSizeF(font.pointSizeF() * factor);
    return f;
}

// On a pixel's centre: a one-pixel line stays one crisp pixel wide.
double crisp(double x) {
    return std::floor(x) + 0.5;
}

double clampX(double x, const QRect& r) {
    return crisp(std::clamp(x, double(r.left()) - 2.0, double(r.right()) + 2.0));
}

// A line two pixels wide through points joined by upright and level steps,
// as filled rectangles: the same picture as a stroked path at a fraction
// of its cost.
void drawSteps(QPainter& p, const QPolygonF& points, const QColor& colour) {
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF a = points[i - 1];
        const QPointF b = points[i];
        const int x1 = int(std::floor(std::min(a.x(), b.x())));
        const int x2 = int(std::floor(std::max(a.x(), b.x())));
        const int y1 = int(std::floor(std::min(a.y(), b.y())));
        const int y2 = int(std::floor(std::max(a.y(), b.y())));
        p.fillRect(QRect(QPoint(x1 - 1, y1 - 1), QPoint(x2, y2)), colour);
    }
}

void paintRuler(QPainter& p, const ViewState& v, const PaintParams& pp, const QRect& lanes) {
    const QRect ruler = pp.rulerRect();
    p.fillRect(ruler, QColor(0xf4, 0xf4, 0xf4));
    p.setPen(kInk);
    p.drawLine(ruler.left(), ruler.bottom(), ruler.right(), ruler.bottom());
    const QFontMetrics metrics(pp.font);
    const Ps from = TimeAt(ruler.left() + pp.headerWidth, v, pp);
    const Ps to = TimeAt(ruler.right() + 1, v, pp);
    for (const RulerTick& tick : RulerTicks(from, to, v.zero, v.psPerPixel, metrics)) {
        const double x = crisp(XOf(tick.time, v, pp));
        if (x < lanes.left() || x > lanes.right())
            continue;
        if (tick.label.isEmpty()) {
            p.setPen(kInk);
            p.drawLine(QPointF(x, ruler.bottom() - 4), QPointF(x, ruler.bottom()));
            continue;
        }
        p.setPen(kGrid);
        p.drawLine(QPointF(x, lanes.top()), QPointF(x, lanes.bottom()));
        p.setPen(kInk);
        p.drawLine(QPointF(x, ruler.bottom() - 9), QPointF(x, ruler.bottom()));
        const int w = metrics.horizontalAdvance(tick.label);
        p.drawText(QPointF(x - w / 2.0, ruler.bottom() - 12), tick.label);
    }
    // The zero point, where the user put it.
    const double zx = XOf(v.zero, v, pp);
    if (zx >= lanes.left() && zx <= lanes.right()) {
        QPainterPath mark;
        mark.moveTo(zx - 5, ruler.bottom() - 7);
        mark.lineTo(zx + 5, ruler.bottom() - 7);
        mark.lineTo(zx, ruler.bottom());
        mark.closeSubpath();
        p.fillPath(mark, kInk);
    }
}

// The level line of one lane: idle low (or high when active low), each
// pulse a step up and back, timer ticks as marks, bands as shaded blocks.
void paintLevels(QPainter& p, const Model& model, int lane, const ViewState& v,
                 const PaintParams& pp, const QRect& lanes, const QRect& row) {
    const Lane& info = model.lanes()[lane];
    const int high = row.top() + kLaneMargin;
    const int low = row.bottom() - kLaneMargin;
    const int idle = info.activeLow ? high : low;
    const int active = info.activeLow ? low : high;
    const QColor colour = info.greyed ? kGrey : LaneColour(info);
    if (info.greyed) {
        // Flat: a disabled channel or output puts nothing out. Its note
        // says so, and what it still triggers.
        p.fillRect(QRect(lanes.left(), idle - 1, lanes.width(), 2), kGrey);
        p.setFont(smaller(pp.font, 0.85));
        p.setPen(QColor(0x70, 0x70, 0x70));
        p.drawText(QPointF(lanes.left() + 6, row.center().y() + 4),
                   info.note.isEmpty() ? QStringLiteral("disabled") : info.note);
        return;
    }
    const Ps from = TimeAt(lanes.left(), v, pp);
    const Ps to = TimeAt(lanes.right() + 1, v, pp);
    // Two pixels: pulses nearer than that join into a band.
    const Ps resolution = std::max<Ps>(1, Ps(2.0 * v.psPerPixel));
    const std::vector<Segment> segments =
        model.segments(lane, from, to, resolution, std::size_t(4 * lanes.width()));
    QPolygonF path;
    path << QPointF(lanes.left(), idle);
    const auto lineTo = [&path](double x, double y) { path << QPointF(x, y); };
    p.setFont(smaller(pp.font, 0.8));
    const QFontMetrics small(p.font());
    for (const Segment& s : segments) {
        const double x1 = clampX(XOf(s.start, v, pp), lanes);
        const double x2 = clampX(XOf(s.end, v, pp), lanes);
        if (s.band) {
            const QRectF block(x1, high, std::max(1.0, x2 - x1), low - high);
            p.fillRect(block, QColor(colour.red(), colour.green(), colour.blue(), 70));
            p.setPen(colour);
            p.drawRect(block);
            const QString count = s.count > 0 ? QStringLiteral("%1 pulses").arg(s.count)
                                              : QStringLiteral("too many to count here");
            if (small.horizontalAdvance(count) + 6 < block.width()) {
                p.setPen(kInk);
                p.drawText(block, Qt::AlignCenter, count);
            }
            continue;
        }
        if (s.end == s.start) { // a timer tick: a mark of the full height
            lineTo(x1, idle);
            lineTo(x1, active);
            lineTo(x1, idle);
            continue;
        }
        lineTo(x1, idle);
        lineTo(x1, active);
        lineTo(x2, active);
        lineTo(x2, idle);
    }
    lineTo(lanes.right(), idle);
    drawSteps(p, path, colour);
}

// A channel's delay as an arrow from its source's edge to its own, at the
// first of its pulses in view.
void paintDelayArrow(QPainter& p, const Model& model, int lane, const ViewState& v,
                     const PaintParams& pp, const QRect& lanes) {
    const Lane& info = model.lanes()[lane];
    if (info.sourceLane < 0 || info.delay == 0 || !info.error.isEmpty() || info.greyed)
        return;
    const Ps from = TimeAt(lanes.left(), v, pp);
    const Ps to = TimeAt(lanes.right() + 1, v, pp);
    const std::optional<Ps> own = model.firstStart(lane, from, to);
    if (!own)
        return;
    const Ps source = *own - info.delay;
    const double xs = XOf(source, v, pp);
    const double xe = XOf(*own, v, pp);
    if (std::fabs(xe - xs) < 8 || xs < lanes.left() || xs > lanes.right())
        return;
    const int sourceTop = pp.laneTop(info.sourceLane);
    const int top = pp.laneTop(lane);
    const int y = top + pp.laneHeight / 2;
    QPen dashed(QColor(0x70, 0x70, 0x70), 1, Qt::DashLine);
    p.setPen(dashed);
    p.drawLine(QPointF(xs, sourceTop + kLaneMargin), QPointF(xs, y));
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
    p.drawLine(QPointF(xs, y), QPointF(xe, y));
    const double dir = xe > xs ? -1 : 1;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath head;
    head.moveTo(xe, y);
    head.lineTo(xe + dir * 6, y - 3);
    head.lineTo(xe + dir * 6, y + 3);
    head.closeSubpath();
    p.fillPath(head, QColor(0x50, 0x50, 0x50));
    p.restore();
    const QString label = FormatTime(info.delay, ExactDigits);
    p.setFont(smaller(pp.font, 0.8));
    const QFontMetrics small(p.font());
    const int w = small.horizontalAdvance(label);
    if (w + 4 < std::fabs(xe - xs)) {
        const QRectF box((xs + xe) / 2 - w / 2.0 - 2, y - small.height() - 1, w + 4,
                         small.height());
        p.fillRect(box, QColor(255, 255, 255, 220));
        p.setPen(kInk);
        p.drawText(box, Qt::AlignCenter, label);
    }
}

void paintCursor(QPainter& p, Ps t, const QColor& colour, const QString& name, const ViewState& v,
                 const PaintParams& pp, const QRect& lanes) {
    const double x = XOf(t, v, pp);
    if (x < lanes.left() || x > lanes.right())
        return;
    p.setPen(QPen(colour, 1));
    p.drawLine(QPointF(crisp(x), pp.rulerRect().top()), QPointF(crisp(x), lanes.bottom()));
    p.setFont(pp.font);
    const QFontMetrics metrics(pp.font);
    const QRectF tag(x + 2, pp.rulerRect().top() + 1, metrics.horizontalAdvance(name) + 6,
                     metrics.height());
    p.fillRect(tag, colour);
    p.setPen(Qt::white);
    p.drawText(tag, Qt::AlignCenter, name);
}

} // namespace

QRect PaintParams::rulerRect() const {
    return QRect(area.left(), area.top() + captionHeight() + bannerHeight(), area.width(),
                 rulerHeight);
}

int PaintParams::laneTop(int lane) const {
    return rulerRect().bottom() + 1 + lane * laneHeight - scroll;
}

QRect PaintParams::lanesRect(int laneCount) const {
    const int top = rulerRect().bottom() + 1;
    const int bottom =
        std::min(area.bottom() - readoutHeight, top + laneCount * laneHeight - 1 - scroll);
    return QRect(QPoint(area.left() + headerWidth, top), QPoint(area.right(), bottom));
}

int PaintParams::neededHeight(int laneCount) const {
    return captionHeight() + bannerHeight() + rulerHeight + laneCount * laneHeight + readoutHeight +
           1;
}

Ps NiceStep(double minPs) {
    Ps step = 1;
    int lead = 1; // 1, 2, 5, 10, 20, 50, ...
    while (double(step) < minPs && step < PsPerSecond * 1'000'000) {
        if (lead == 2) {
            step = step / 2 * 5;
            lead = 5;
        } else {
            step *= 2;
            lead = lead == 1 ? 2 : 1;
        }
    }
    return step;
}

std::vector<RulerTick> RulerTicks(Ps from, Ps to, Ps zero, double psPerPixel,
                                  const QFontMetrics& metrics) {
    std::vector<RulerTick> ticks;
    if (to <= from || psPerPixel <= 0)
        return ticks;
    // The smallest step whose labels keep a clear gap between them.
    Ps step = NiceStep(psPerPixel * 40);
    for (int tries = 0; tries < 40; ++tries) {
        // The longest labels are at the ends (most digits) or next to zero
        // (the finest unit); measuring those few is enough.
        int widest = 0;
        const Ps first = zero + ((from - zero) / step) * step;
        for (Ps t : {first - step, first + step, zero + ((to - zero) / step) * step + step,
                     zero + step, zero - step})
            widest = std::max(widest, metrics.horizontalAdvance(FormatTime(t - zero, ExactDigits)));
        if (double(step) / psPerPixel >= widest + 14)
            break;
        step = NiceStep(double(step) + 1);
    }
    const QString lead = QString::number(step).left(1);
    const int minorPerMajor = lead == QLatin1String("2") ? 4 : 5;
    const Ps minor = step / minorPerMajor > 0 ? step / minorPerMajor : step;
    Ps first = zero + ((from - zero) / minor) * minor;
    if (first > from)
        first -= minor;
    for (Ps t = first; t < to && ticks.size() < 4000; t += minor) {
        const bool major = (t - zero) % step == 0;
        // Multiples of the step: exact, and short.
        ticks.push_back({t, major ? FormatTime(t - zero, ExactDigits) : QString()});
    }
    return ticks;
}

QColor LaneColour(const Lane& lane) {
    static const QColor channels[] = {QColor(0xc0, 0x39, 0x2b), QColor(0xd3, 0x84, 0x00),
                                      QColor(0x2e, 0x8b, 0x3a), QColor(0x1f, 0x5f, 0xb0),
                                      QColor(0x8e, 0x44, 0xad), QColor(0x7a, 0x5c, 0x3a),
                                      QColor(0x16, 0x8a, 0x8a), QColor(0xb0, 0x3a, 0x7a)};
    switch (lane.kind) {
    case LaneKind::Timer:
        return kInk;
    case LaneKind::Output:
        return QColor(0x30, 0x30, 0x60);
    case LaneKind::Channel:
        break;
    }
    return channels[(lane.channel - 1) & 7];
}

QString CursorReadout(const ViewState& v) {
    QStringList parts;
    if (v.cursorA)
        parts << QStringLiteral("A %1").arg(FormatTime(*v.cursorA - v.zero, ExactDigits));
    if (v.cursorB)
        parts << QStringLiteral("B %1").arg(FormatTime(*v.cursorB - v.zero, ExactDigits));
    if (v.cursorA && v.cursorB) {
        const Ps dt = *v.cursorB - *v.cursorA;
        parts << QStringLiteral("\u0394t %1").arg(FormatTime(dt, ExactDigits));
        const double hz = dt != 0 ? double(PsPerSecond) / std::fabs(double(dt)) : 0;
        parts << QStringLiteral("1/\u0394t %1").arg(FormatFrequency(hz));
    }
    if (parts.isEmpty())
        return QStringLiteral("Cursors: press A or B over the diagram, or use the context menu");
    return parts.join(QStringLiteral("    "));
}

void PaintDiagram(QPainter& p, const Model& model, const ViewState& v, const PaintParams& pp) {
    const int laneCount = int(model.lanes().size());
    const QRect lanes = pp.lanesRect(laneCount);
    p.save();
    // Every line is upright or level: drawn on whole pixels they need no
    // antialiasing, which would cost most of a redraw. Text keeps its own.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(pp.area, Qt::white);
    p.setFont(pp.font);
    if (!pp.caption.isEmpty()) {
        p.setPen(kInk);
        p.drawText(
            QRect(pp.area.left() + 6, pp.area.top(), pp.area.width() - 12, pp.captionHeight()),
            Qt::AlignVCenter | Qt::AlignLeft, pp.caption);
    }
    if (!pp.banner.isEmpty()) {
        const QRect banner(pp.area.left(), pp.area.top() + pp.captionHeight(), pp.area.width(),
                           pp.bannerHeight());
        p.fillRect(banner, QColor(0xff, 0xf1, 0xc4));
        p.setPen(QColor(0x6a, 0x4a, 0x00));
        p.drawText(banner.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, pp.banner);
    }
    paintRuler(p, v, pp, lanes);

    // Lanes scrolled under the ruler are cut off at its edge.
    p.save();
    p.setClipRect(
        QRect(QPoint(pp.area.left(), lanes.top()), QPoint(pp.area.right(), lanes.bottom() + 1)));
    for (int i = 0; i < laneCount; ++i) {
        const Lane& lane = model.lanes()[i];
        const QRect row(lanes.left(), pp.laneTop(i), lanes.width(), pp.laneHeight);
        if (row.bottom() < lanes.top())
            continue;
        if (row.top() > lanes.bottom())
            break;
        const QRect header(pp.area.left(), row.top(), pp.headerWidth, pp.laneHeight);
        if (i % 2 == 1)
            p.fillRect(QRect(pp.area.left(), row.top(), pp.area.width(), row.height()),
                       QColor(0xfa, 0xfa, 0xfa));
        // Name, with (V) on a virtual channel, the lane's colour as a tab.
        p.fillRect(QRect(header.left(), header.top() + 4, 4, header.height() - 8),
                   lane.greyed ? kGrey : LaneColour(lane));
        p.setPen(lane.greyed ? kGrey : kInk);
        p.setFont(pp.font);
        QString name = lane.name;
        if (lane.virtualChannel)
            name += QStringLiteral(" (V)");
        if (lane.activeLow)
            name += QStringLiteral(" \u2193");
        p.drawText(header.adjusted(10, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, name);
        p.setPen(kGrid);
        p.drawLine(row.left(), row.bottom(), row.right(), row.bottom());

        p.save();
        p.setClipRect(row.adjusted(0, 0, 1, 1), Qt::IntersectClip);
        if (!lane.error.isEmpty()) {
            p.fillRect(row.adjusted(0, 1, 0, -1), QColor(0xfb, 0xe9, 0xe9));
            p.setPen(kError);
            p.setFont(smaller(pp.font, 0.9));
            p.drawText(row.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, lane.error);
        } else {
            paintLevels(p, model, i, v, pp, lanes, row);
            if (!lane.note.isEmpty() && !lane.greyed) {
                p.setFont(smaller(pp.font, 0.8));
                const QFontMetrics small(p.font());
                const int w = small.horizontalAdvance(lane.note) + 8;
                const QRect box(row.right() - w - 2, row.top() + 1, w, small.height());
                p.fillRect(box, QColor(255, 255, 255, 210));
                p.setPen(QColor(0x60, 0x60, 0x60));
                p.drawText(box, Qt::AlignCenter, lane.note);
            }
        }
        p.restore();
    }
    p.restore();
    p.save();
    p.setClipRect(QRect(lanes.left(), lanes.top(), lanes.width(), lanes.height() + 1));
    for (int i = 0; i < laneCount; ++i)
        paintDelayArrow(p, model, i, v, pp, lanes);
    p.restore();
    if (v.cursorA)
        paintCursor(p, *v.cursorA, kCursorA, QStringLiteral("A"), v, pp, lanes);
    if (v.cursorB)
        paintCursor(p, *v.cursorB, kCursorB, QStringLiteral("B"), v, pp, lanes);

    if (pp.readoutHeight > 0) {
        const QRect readout(pp.area.left(), pp.area.bottom() - pp.readoutHeight + 1,
                            pp.area.width(), pp.readoutHeight);
        p.fillRect(readout, QColor(0xf4, 0xf4, 0xf4));
        p.setPen(kInk);
        p.setFont(pp.font);
        p.drawText(readout.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   CursorReadout(v));
    }
    p.restore();
}

} // namespace timing
