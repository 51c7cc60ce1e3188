#include "desktop/window_fit.h"

#include "controls/work_screen.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <memory>

namespace pg5400 {

namespace {

int fitAlong(int wantedStart, int length, int areaStart, int areaLength) {
    if (length >= areaLength)
        return areaStart;
    return std::clamp(wantedStart, areaStart, areaStart + areaLength - length);
}

std::unique_ptr<QSettings> openSettings() {
    const QString file = qEnvironmentVariable("PG5400_SETTINGS");
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("pg5400"), QStringLiteral("pg5400"));
}

const QString kScreenKey = QStringLiteral("window/screen");
const QString kPositionKey = QStringLiteral("window/position");

} // namespace

QPoint FitOnto(const QRect& frame, const QRect& area) {
    return {fitAlong(frame.x(), frame.width(), area.x(), area.width()),
            fitAlong(frame.y(), frame.height(), area.y(), area.height())};
}

SavedPlacement LoadPlacement() {
    const auto settings = openSettings();
    SavedPlacement saved;
    saved.screen = settings->value(kScreenKey).toString();
    const QVariant pos = settings->value(kPositionKey);
    saved.valid = !saved.screen.isEmpty() && pos.canConvert<QPoint>();
    if (saved.valid)
        saved.framePos = pos.toPoint();
    return saved;
}

void StorePlacement(const SavedPlacement& placement) {
    const auto settings = openSettings();
    settings->setValue(kScreenKey, placement.screen);
    settings->setValue(kPositionKey, placement.framePos);
}

WindowFit::WindowFit(QMainWindow* window, QScrollArea* scroll, QWidget* client,
                     QList<QWidget*> strip)
    : QObject(window), window(window), scroll(scroll), client(client), strip(std::move(strip)),
      backdrop(new QWidget(client)) {
    for (QWidget* w : this->strip)
        stripPos << w->pos();
    for (QObject* child : client->children())
        if (auto* w = qobject_cast<QWidget*>(child); w && w != backdrop)
            stacking << w;
    backdrop->setObjectName(QStringLiteral("BannerBackdrop"));
    backdrop->setAutoFillBackground(true);
    backdrop->hide();
    connect(scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &WindowFit::keepStrip);
    // Tabbing to a control scrolled away, or under the strip, brings it back.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && scrolls() && this->client->isAncestorOf(now))
            bringIntoView(now);
    });
    window->installEventFilter(this);
}

QScreen* WindowFit::screenFor(const QPoint& framePos) const {
    if (target)
        return target;
    if (QScreen* s = QGuiApplication::screenAt(framePos))
        return s;
    return WorkScreen();
}

void WindowFit::placeAtStart(bool useSaved) {
    target = nullptr;
    if (useSaved) {
        const SavedPlacement saved = LoadPlacement();
        // Only where that screen still exists and the frame lies on it.
        const QRect frame(saved.framePos, window->size());
        for (QScreen* s : QGuiApplication::screens())
            if (saved.valid && s->name() == saved.screen && s->geometry().intersects(frame)) {
                target = s;
                wanted = saved.framePos;
            }
    }
    if (!target) {
        // The designed place on the screen the user works on.
        target = WorkScreen();
        wanted = target->geometry().topLeft() + DesignedPos;
    }
    refit(Move::FromWanted);
}

QMargins WindowFit::frameMargins() const {
    if (window->isVisible() && window->windowHandle())
        return window->windowHandle()->frameMargins();
    // Before the first show no frame is known yet: room for a title bar, as
    // most window managers draw one, so the first place is already good.
    return QMargins(2, 32, 2, 2);
}

void WindowFit::refit(Move move) {
    QScreen* screen = screenFor(wanted);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins m = frameMargins();
    const int menu = window->menuWidget() ? window->menuWidget()->sizeHint().height() : 0;
    const QSize full = client->size();
    // Qt rounds the screen's area to whole logical pixels; where a logical
    // pixel is not a whole number of the screen's own, the rounding can make
    // the area a fraction larger than it is, and the window the server gets
    // a pixel taller than the screen. One logical pixel keeps it inside.
    const qreal ratio = screen->devicePixelRatio();
    const auto whole = [](qreal v) { return std::abs(v - std::round(v)) < 1e-9; };
    const int slackW = whole(area.width() * ratio) && whole(area.x() * ratio) ? 0 : 1;
    const int slackH = whole(area.height() * ratio) && whole(area.y() * ratio) ? 0 : 1;
    const int maxW = area.width() - m.left() - m.right() - slackW;
    const int maxH = area.height() - m.top() - m.bottom() - menu - slackH;
    const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
    bool needV = full.height() > maxH;
    const bool needH = full.width() + (needV ? bar : 0) > maxW;
    needV = needV || (needH && full.height() + bar > maxH);
    const QSize view(needH ? std::max(maxW, bar + StripHeight) : full.width() + (needV ? bar : 0),
                     needV ? std::max(maxH, bar + 2 * StripHeight)
                           : full.height() + (needH ? bar : 0));
    scroll->setVerticalScrollBarPolicy(needV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    scroll->setHorizontalScrollBarPolicy(needH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    scroll->setFixedSize(view);
    if (window->layout())
        window->layout()->activate();
    if (!needV)
        keepStrip(0);
    const QSize frame = window->size().grownBy(m);
    if (move == Move::FromWanted)
        window->move(FitOnto(QRect(wanted, frame), area));
    else if (move == Move::OntoArea && !area.contains(QRect(window->pos(), frame)))
        window->move(FitOnto(QRect(window->pos(), frame), area));
}

bool WindowFit::scrolls() const {
    return scroll->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ||
           scroll->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
}

QRect WindowFit::freeView() const {
    const QRect view(scroll->horizontalScrollBar()->value(), scroll->verticalScrollBar()->value(),
                     scroll->viewport()->width(), scroll->viewport()->height());
    // Unscrolled, the strip covers nothing: it is where it was designed.
    return view.y() > 0 ? view.adjusted(0, StripHeight, 0, 0) : view;
}

void WindowFit::bringIntoView(QWidget* widget) {
    for (QWidget* w : strip)
        if (w == widget || w->isAncestorOf(widget))
            return; // the strip is always in view
    const QRect r(widget->mapTo(client, QPoint(0, 0)), widget->size());
    const QRect free = freeView();
    QScrollBar* v = scroll->verticalScrollBar();
    if (r.top() < free.top() || r.height() > free.height())
        v->setValue(v->value() - (free.top() - r.top()));
    else if (r.bottom() > free.bottom())
        v->setValue(v->value() + (r.bottom() - free.bottom()));
    QScrollBar* h = scroll->horizontalScrollBar();
    if (r.left() < free.left() || r.width() > free.width())
        h->setValue(h->value() - (free.left() - r.left()));
    else if (r.right() > free.right())
        h->setValue(h->value() + (r.right() - free.right()));
}

void WindowFit::keepStrip(int scrolled) {
    for (qsizetype i = 0; i < strip.size(); ++i)
        strip[i]->move(stripPos[i] + QPoint(0, scrolled));
    backdrop->setGeometry(0, scrolled, client->width(), StripHeight);
    backdrop->setVisible(scrolled > 0);
    if (scrolled > 0) {
        // The rest passes under the strip.
        backdrop->raise();
        for (QWidget* w : strip)
            w->raise();
    } else {
        for (QWidget* w : stacking)
            w->raise();
    }
}

void WindowFit::remember() const {
    // A Wayland client never learns where its window is: nothing to keep.
    if (!remembering || !window->screen() ||
        QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    StorePlacement({window->screen()->name(), window->pos(), true});
}

bool WindowFit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window && event->type() == QEvent::Show && !watchingScreen &&
        window->windowHandle()) {
        watchingScreen = true;
        // Moved to another screen: fit there, from where it is now.
        connect(window->windowHandle(), &QWindow::screenChanged, this, [this](QScreen* now) {
            // Only the size: the user may be dragging it there right now.
            target = now;
            wanted = window->pos();
            refit(Move::Stay);
            if (onScreenChanged && now)
                onScreenChanged(now);
        });
    }
    if (watched == window && event->type() == QEvent::Show)
        // Once shown, the real frame is known (a window manager may take a
        // moment to say): fit again with it.
        for (int ms : {0, 300})
            QTimer::singleShot(ms, this, [this] { refit(Move::OntoArea); });
    return false;
}

} // namespace pg5400
