// Edit mode of the diagram: a channel's edges dragged or stepped to set its
// delay (the rising edge) or its width (the falling edge), on the grid and
// within the range the panel's spin edits use. The view only proposes a
// value; the window it belongs to sends it the way a spin edit does.
#include "timing/tick_sets.h"
#include "timing/trace_view.h"

#include <QAccessible>
#include <QPainter>
#include <QToolTip>
#include <cmath>

namespace timing {

namespace {

constexpr double kGrabPixels = 8;

using detail::Wide;

} // namespace

void TraceView::setSettings(const Settings& settings) {
    settings_ = settings;
    if (edgeDragging_)
        return; // the drag's own picture stays until it ends
    setModel(Model(settings));
}

void TraceView::setEditMode(bool on) {
    editMode_ = on;
    if (!on && edgeDragging_)
        endEdgeDrag(false);
    if (!on)
        edge_.reset();
    setCursor(on ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

QString TraceView::whyNotEditable(int lane) const {
    if (lane < 0 || lane >= int(model_.lanes().size()))
        return {};
    const Lane& l = model_.lanes()[std::size_t(lane)];
    switch (l.kind) {
    case LaneKind::Timer:
        return QStringLiteral("T0 is set on the System page, not here");
    case LaneKind::Output:
        return QStringLiteral("%1 follows its channels: drag a channel's edge").arg(l.name);
    case LaneKind::Channel:
        break;
    }
    if (l.greyed)
        return QStringLiteral("%1 is disabled").arg(l.name);
    if (!l.error.isEmpty())
        return QStringLiteral("%1 has no timing to edit").arg(l.name);
    const std::size_t c = std::size_t(l.channel - 1);
    if (c >= settings_.channels.size() || settings_.channels[c].delayStep <= 0)
        return QStringLiteral("%1 cannot be set here without an instrument model").arg(l.name);
    return {};
}

Ps TraceView::onGrid(const Edge& edge, Wide value, bool& limited) const {
    const ChannelSettings& c = settings_.channels[std::size_t(edge.channel - 1)];
    const Ps step = std::max<Ps>(edge.width ? c.widthStep : c.delayStep, 1);
    const Ps low = edge.width ? c.widthMin : c.delayMin;
    const Ps high = edge.width ? c.widthMax : c.delayMax;
    const Wide snapped = detail::floorDiv(value + step / 2, step) * step;
    limited = snapped < low || snapped > high;
    return Ps(std::clamp<Wide>(snapped, low, high));
}

bool TraceView::beginEdgeDrag(double x, double y) {
    const int lane = laneAt(y);
    if (lane < 0)
        return false;
    if (const QString why = whyNotEditable(lane); !why.isEmpty()) {
        QToolTip::showText(mapToGlobal(QPoint(int(x), int(y))), why, this);
        return true;
    }
    const PaintParams p = params();
    const Ps at = TimeAt(x, view_, p);
    const Ps reach = Ps(kGrabPixels * view_.psPerPixel);
    std::optional<std::pair<Ps, bool>> best; // edge time, falling
    for (const Segment& s : model_.segments(lane, at - reach, at + reach + 1, 0, 256)) {
        if (s.band)
            continue;
        for (const auto& [t, falling] : {std::pair{s.start, false}, std::pair{s.end, true}})
            if (std::llabs(t - at) <= reach &&
                (!best || std::llabs(t - at) < std::llabs(best->first - at)))
                best = std::pair{t, falling};
    }
    if (!best)
        return false;
    const int channel = model_.lanes()[std::size_t(lane)].channel;
    const ChannelSettings& c = settings_.channels[std::size_t(channel - 1)];
    Edge edge;
    edge.channel = channel;
    edge.width = best->second;
    edge.original = edge.value = edge.width ? c.width : c.delay;
    edge.edgeTime = best->first;
    edge.startX = x;
    edge_ = edge;
    edgeDragging_ = true;
    announce(edge);
    update();
    return true;
}

void TraceView::moveEdgeDrag(double x, bool toOtherEdges) {
    Edge& edge = *edge_;
    Ps target = edge.edgeTime + Ps((x - edge.startX) * view_.psPerPixel);
    if (toOtherEdges) {
        // Shift: onto the nearest edge of another lane in view.
        const Ps reach = Ps(kGrabPixels * view_.psPerPixel);
        std::optional<Ps> best;
        for (int lane = 0; lane < int(model_.lanes().size()); ++lane) {
            if (model_.lanes()[std::size_t(lane)].channel == edge.channel &&
                model_.lanes()[std::size_t(lane)].kind == LaneKind::Channel)
                continue;
            if (const auto e = model_.nearestEdge(lane, target, reach))
                if (!best || std::llabs(*e - target) < std::llabs(*best - target))
                    best = e;
        }
        if (best)
            target = *best;
    }
    const Ps value =
        onGrid(edge, Wide(edge.original) + (Wide(target) - edge.edgeTime), edge.limited);
    if (value != edge.value) {
        edge.value = value;
        preview(edge);
        announce(edge);
    }
    update();
}

void TraceView::preview(const Edge& edge) {
    Settings changed = settings_;
    ChannelSettings& c = changed.channels[std::size_t(edge.channel - 1)];
    (edge.width ? c.width : c.delay) = edge.value;
    model_ = Model(changed);
}

void TraceView::endEdgeDrag(bool keep) {
    edgeDragging_ = false;
    Edge& edge = *edge_;
    if (keep && edge.value != edge.original) {
        const Ps value = edge.value;
        edge.original = value;
        Q_EMIT edgeEdited(edge.channel, edge.width, value);
    } else {
        edge.value = edge.original;
        model_ = Model(settings_);
    }
    announce(edge);
    update();
}

void TraceView::stepEdge(int direction, bool decade) {
    Edge& edge = *edge_;
    const ChannelSettings& c = settings_.channels[std::size_t(edge.channel - 1)];
    const Ps step = (edge.width ? c.widthStep : c.delayStep) * (decade ? 10 : 1);
    const Ps now = edge.width ? c.width : c.delay;
    const Ps value = onGrid(edge, Wide(now) + Wide(direction) * step, edge.limited);
    edge.value = edge.original = value;
    announce(edge);
    if (value != now)
        Q_EMIT edgeEdited(edge.channel, edge.width, value);
    update();
}

void TraceView::announce(const Edge& edge) {
    const QString name = QStringLiteral("Ch %1").arg(QChar(u'A' + edge.channel - 1));
    QString text = QStringLiteral("%1 %2 edge: %3 %4")
                       .arg(name, edge.width ? QStringLiteral("falling") : QStringLiteral("rising"),
                            edge.width ? QStringLiteral("width") : QStringLiteral("delay"),
                            FormatTime(edge.value, ExactDigits));
    if (edge.limited)
        text += QStringLiteral(" (limit)");
    setAccessibleDescription(text);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void TraceView::paintEdgeValue(QPainter& painter) const {
    if (!edgeDragging_ || !edge_)
        return;
    const Edge& edge = *edge_;
    QString text =
        QStringLiteral("%1 %2").arg(edge.width ? QStringLiteral("width") : QStringLiteral("delay"),
                                    FormatTime(edge.value, ExactDigits));
    if (edge.limited)
        text += QStringLiteral(" (limit)");
    const QFontMetrics metrics(font());
    QRect box(QPoint(int(mouse_.x()) + 12, int(mouse_.y()) - metrics.height() - 4),
              QSize(metrics.horizontalAdvance(text) + 10, metrics.height() + 4));
    box.moveRight(std::min(box.right(), width() - 2));
    painter.fillRect(box, QColor(255, 255, 225));
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace timing
