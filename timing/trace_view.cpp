#include "timing/trace_view.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace timing {

namespace {

constexpr double kSnapPixels = 8;
constexpr double kZoomStep = 1.25;
// From 0.01 ps to 100 s per pixel: past either end the ruler has nothing to say.
constexpr double kMinPsPerPixel = 0.01;
constexpr double kMaxPsPerPixel = 1e14;
// About 28 hours either side of T0: far past any setting, far inside int64.
constexpr Ps kMaxOffset = 100'000'000'000'000'000;

} // namespace

TraceView::TraceView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TraceView"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Timing diagram"));
    // Lanes that do not fit scroll under the ruler, which stays.
    vertical_ = new QScrollBar(Qt::Vertical, this);
    vertical_->setObjectName(QStringLiteral("LaneScroll"));
    vertical_->hide();
    connect(vertical_, &QScrollBar::valueChanged, this, [this] { update(); });
}

QSize TraceView::sizeHint() const {
    return {900, params().neededHeight(std::max<int>(int(model_.lanes().size()), 6))};
}

QSize TraceView::minimumSizeHint() const {
    return {320, 160};
}

PaintParams TraceView::params() const {
    PaintParams p;
    p.area = rect();
    if (vertical_->isVisible())
        p.area.setRight(vertical_->geometry().left() - 1);
    p.font = font();
    p.banner = banner_;
    p.scroll = scroll();
    return p;
}

int TraceView::scroll() const {
    return vertical_->isVisible() ? vertical_->value() : 0;
}

void TraceView::setScroll(int pixels) {
    vertical_->setValue(pixels);
}

void TraceView::setBanner(const QString& banner) {
    if (banner == banner_)
        return;
    banner_ = banner;
    placeScrollBar();
    update();
}

void TraceView::placeScrollBar() {
    PaintParams p;
    p.area = rect();
    p.banner = banner_;
    const int needed = p.neededHeight(int(model_.lanes().size()));
    const int hidden = needed - height();
    vertical_->setVisible(hidden > 0);
    if (hidden <= 0)
        return;
    const int w = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, vertical_);
    const int top = p.rulerRect().bottom() + 1;
    vertical_->setGeometry(width() - w, top, w, height() - top);
    vertical_->setRange(0, hidden);
    vertical_->setPageStep(height() - top);
    vertical_->setSingleStep(p.laneHeight);
}

double TraceView::centreX() const {
    return params().headerWidth + lanesWidth() / 2;
}

double TraceView::lanesWidth() const {
    const PaintParams p = params();
    return std::max(1, p.area.width() - p.headerWidth);
}

void TraceView::setModel(Model model) {
    model_ = std::move(model);
    placeScrollBar();
    fitOnce();
    update();
}

void TraceView::fitOnce() {
    // Only once the view has its real width: a fit made for the width of a
    // window not yet shown would leave the period a few pixels wide.
    if (fitted_ || !isVisible() || width() < params().headerWidth + 40)
        return;
    fitted_ = true;
    fitPeriod();
}

void TraceView::setView(const ViewState& view) {
    view_ = view;
    view_.psPerPixel = std::clamp(view_.psPerPixel, kMinPsPerPixel, kMaxPsPerPixel);
    changed();
}

void TraceView::changed() {
    view_.offset = std::clamp(view_.offset, -kMaxOffset, kMaxOffset);
    update();
    Q_EMIT viewChanged();
}

void TraceView::showSpan(Ps from, Ps to) {
    if (to <= from)
        to = from + 1000;
    // A small margin on each side, so the first and last edges stand clear.
    const double span = double(to - from) * 1.1;
    view_.psPerPixel = std::clamp(span / lanesWidth(), kMinPsPerPixel, kMaxPsPerPixel);
    view_.offset = from - Ps(double(to - from) * 0.05);
    changed();
}

void TraceView::zoomBy(double factor, double aroundX) {
    const PaintParams p = params();
    const Ps anchor = TimeAt(aroundX, view_, p);
    const double next = std::clamp(view_.psPerPixel / factor, kMinPsPerPixel, kMaxPsPerPixel);
    view_.psPerPixel = next;
    // The time under the mouse stays under the mouse.
    view_.offset = anchor - Ps((aroundX - p.area.left() - p.headerWidth) * next);
    changed();
}

void TraceView::panBy(double pixels) {
    view_.offset += Ps(pixels * view_.psPerPixel);
    changed();
}

void TraceView::fitPeriod() {
    const auto [from, to] = model_.firstTickExtent();
    showSpan(from, to);
}

void TraceView::goHome() {
    const auto [from, to] = model_.firstTickExtent();
    (void)to;
    view_.offset = std::min<Ps>(from, 0) - Ps(lanesWidth() * 0.05 * view_.psPerPixel);
    changed();
}

void TraceView::goEnd() {
    // The last pulse where the timing stops; otherwise one period on.
    const std::optional<Ps> end = model_.lastEnd();
    if (end) {
        view_.offset = *end - Ps(lanesWidth() * 0.95 * view_.psPerPixel);
        changed();
    } else {
        panBy(model_.period() > 0 ? double(model_.period()) / view_.psPerPixel : lanesWidth());
    }
}

int TraceView::laneAt(double y) const {
    const PaintParams p = params();
    const int top = p.laneTop(0);
    if (y < top)
        return -1;
    const int lane = int((y - top) / p.laneHeight);
    return lane < int(model_.lanes().size()) ? lane : -1;
}

Ps TraceView::snapped(double x, double y) const {
    const PaintParams p = params();
    const Ps at = TimeAt(x, view_, p);
    const Ps reach = Ps(kSnapPixels * view_.psPerPixel);
    const int lane = laneAt(y);
    if (lane >= 0)
        if (const auto edge = model_.nearestEdge(lane, at, reach))
            return *edge;
    std::optional<Ps> best;
    for (int i = 0; i < int(model_.lanes().size()); ++i)
        if (const auto edge = model_.nearestEdge(i, at, reach))
            if (!best || std::llabs(*edge - at) < std::llabs(*best - at))
                best = edge;
    return best.value_or(at);
}

void TraceView::placeCursor(int which, Ps t) {
    (which == 0 ? view_.cursorA : view_.cursorB) = t;
    changed();
}

void TraceView::setZero(Ps t) {
    view_.zero = t;
    changed();
}

void TraceView::clearCursors() {
    view_.cursorA.reset();
    view_.cursorB.reset();
    changed();
}

void TraceView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintDiagram(painter, model_, view_, params());
    paintEdgeValue(painter);
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TraceView::resizeEvent(QResizeEvent*) {
    placeScrollBar();
    fitOnce();
}

bool TraceView::event(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        placeScrollBar();
    return QWidget::event(event);
}

void TraceView::showEvent(QShowEvent*) {
    fitOnce();
}

void TraceView::wheelEvent(QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    const double x = event->position().x();
    // Over the lane names the wheel scrolls the lanes; over the lanes it zooms.
    if (vertical_->isVisible() && x < params().headerWidth && angle.y() != 0) {
        vertical_->setValue(vertical_->value() - angle.y() / 120 * vertical_->singleStep());
    } else if (event->modifiers() & Qt::ShiftModifier || angle.x() != 0) {
        const int steps = angle.x() != 0 ? angle.x() : angle.y();
        panBy(-steps / 120.0 * lanesWidth() / 10);
    } else if (angle.y() != 0) {
        zoomBy(std::pow(kZoomStep, angle.y() / 120.0), x);
    }
    event->accept();
}

void TraceView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const double x = event->position().x();
    const PaintParams p = params();
    mouse_ = event->position();
    if (editMode_ && beginEdgeDrag(x, event->position().y()))
        return;
    dragging_ = 2;
    // Near a cursor: move that cursor; elsewhere: move the view.
    const std::optional<Ps> cursors[2] = {view_.cursorA, view_.cursorB};
    for (int i = 0; i < 2; ++i)
        if (cursors[i] && std::fabs(XOf(*cursors[i], view_, p) - x) <= 4)
            dragging_ = i;
    dragX_ = x;
    dragOffset_ = view_.offset;
    if (dragging_ == 2)
        QWidget::setCursor(Qt::ClosedHandCursor);
}

void TraceView::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    mouse_ = event->position();
    if (edgeDragging_) {
        moveEdgeDrag(x, event->modifiers() & Qt::ShiftModifier);
        return;
    }
    if (editMode_ && dragging_ < 0) {
        // What cannot be edited says so on hover.
        const QString why = whyNotEditable(laneAt(event->position().y()));
        if (!why.isEmpty())
            QToolTip::showText(event->globalPosition().toPoint(), why, this);
        else
            QToolTip::hideText();
    }
    if (dragging_ == 2) {
        view_.offset = dragOffset_ - Ps((x - dragX_) * view_.psPerPixel);
        changed();
    } else if (dragging_ == 0 || dragging_ == 1) {
        placeCursor(dragging_, snapped(x, event->position().y()));
    }
}

void TraceView::mouseReleaseEvent(QMouseEvent*) {
    if (edgeDragging_) {
        endEdgeDrag(true);
        return;
    }
    dragging_ = -1;
    unsetCursor();
}

void TraceView::keyPressEvent(QKeyEvent* event) {
    const QPoint mouse = mapFromGlobal(QCursor::pos());
    const bool inside = rect().contains(mouse);
    const double x = inside ? mouse.x() : centreX();
    const double y = inside ? mouse.y() : -1;
    if (edgeDragging_ && event->key() == Qt::Key_Escape) {
        endEdgeDrag(false);
        return;
    }
    if (editMode_ && edge_ && !edgeDragging_ &&
        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        stepEdge(event->key() == Qt::Key_Left ? -1 : 1, event->modifiers() & Qt::ControlModifier);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(2, x);
        break;
    case Qt::Key_Minus:
        zoomBy(0.5, x);
        break;
    case Qt::Key_Home:
        goHome();
        break;
    case Qt::Key_End:
        goEnd();
        break;
    case Qt::Key_Left:
        panBy(-lanesWidth() / 10);
        break;
    case Qt::Key_Right:
        panBy(lanesWidth() / 10);
        break;
    case Qt::Key_F:
        fitPeriod();
        break;
    case Qt::Key_A:
        placeCursor(0, snapped(x, y));
        break;
    case Qt::Key_B:
        placeCursor(1, snapped(x, y));
        break;
    case Qt::Key_Z:
        setZero(snapped(x, y));
        break;
    case Qt::Key_Escape:
        clearCursors();
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        vertical_->triggerAction(event->key() == Qt::Key_PageUp
                                     ? QAbstractSlider::SliderPageStepSub
                                     : QAbstractSlider::SliderPageStepAdd);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TraceView::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint at = event->pos();
    const Ps t = snapped(at.x(), at.y());
    QMenu menu(this);
    menu.addAction(QStringLiteral("Cursor A Here"), this, [this, t] { placeCursor(0, t); });
    menu.addAction(QStringLiteral("Cursor B Here"), this, [this, t] { placeCursor(1, t); });
    menu.addAction(QStringLiteral("Zero Point Here"), this, [this, t] { setZero(t); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Clear Cursors"), this, &TraceView::clearCursors);
    menu.addAction(QStringLiteral("Zero Point at T0"), this, [this] { setZero(0); });
    menu.addAction(QStringLiteral("Fit One Period"), this, &TraceView::fitPeriod);
    menu.exec(event->globalPos());
}

} // namespace timing
