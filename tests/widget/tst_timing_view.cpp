// The timing diagram on screen and on paper: edges land in the pixel columns
// the ruler gives them, zoom keeps the time under the mouse, cursors snap to
// edges, dense pulses become bands, and the exports are files other programs
// can read.
#include "timing/timing_window.h"
#include "timing/trace_export.h"
#include "timing/trace_paint.h"
#include "timing/trace_view.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

using namespace timing;

namespace {

constexpr Ps ns = 1000;

// T0 every 1 µs; A 100 ns after T0 for 50 ns; B 200 ns after A, active low.
Settings chain() {
    Settings s;
    s.timer.period = 1000 * ns;
    ChannelSettings a;
    a.enabled = true;
    a.delay = 100 * ns;
    a.width = 50 * ns;
    a.output = true;
    a.muxMask = 1;
    ChannelSettings b = a;
    b.sync = 1;
    b.delay = 200 * ns;
    b.inverted = true;
    b.muxMask = 2;
    s.channels = {a, b};
    return s;
}

PaintParams paper(QSize size) {
    PaintParams p;
    p.area = QRect(QPoint(0, 0), size);
    p.font = QApplication::font();
    return p;
}

// The first column, left to right, from `x` on whose pixel at row y differs
// from white.
int inkFrom(const QImage& image, int x, int y) {
    for (; x < image.width(); ++x)
        if (image.pixelColor(x, y).lightness() < 200)
            return x;
    return -1;
}

// The chain in a view of the given width, on screen.
bool showChain(TraceView& view, int width) {
    view.resize(width, 400);
    view.show();
    view.setModel(Model(chain()));
    return QTest::qWaitForWindowExposed(&view);
}

void turnWheel(TraceView& view, QPointF at, int notches, Qt::KeyboardModifiers modifiers) {
    QWheelEvent wheel(at, view.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
}

} // namespace

class TstTimingView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void edgesSitWhereTheRulerSays() {
        const Model model(chain());
        const PaintParams p = paper({1104, 300});
        ViewState v;
        v.offset = 0;
        v.psPerPixel = 1000; // 1 ns per pixel
        QImage image(p.area.size(), QImage::Format_RGB32);
        QPainter painter(&image);
        PaintDiagram(painter, model, v, p);
        painter.end();

        // The ruler's 100 ns tick, found in the image itself: the tall major
        // tick mark just above the ruler's bottom line.
        const QFontMetrics metrics(p.font);
        int tickColumn = -1;
        for (const RulerTick& t : RulerTicks(0, 1000 * ns, 0, v.psPerPixel, metrics))
            if (t.label == QStringLiteral("100 ns"))
                tickColumn = int(std::floor(XOf(t.time, v, p)));
        QVERIFY(tickColumn > p.headerWidth);
        const int tickRow = p.rulerRect().bottom() - 5;
        QVERIFY(image.pixelColor(tickColumn, tickRow).lightness() < 100);

        // A rises there: searched along a row below its delay arrow, which
        // the rise crosses.
        const int aRow = p.laneTop(1) + p.laneHeight - 12;
        const int rise = inkFrom(image, p.headerWidth + 2, aRow);
        QVERIFY2(std::abs(rise - tickColumn) <= 1, qPrintable(QString::number(rise)));
        // And stays high for 50 ns, then low.
        const int aHigh = p.laneTop(1) + 7;
        QVERIFY(image.pixelColor(tickColumn + 48, aHigh).lightness() < 200);
        QVERIFY(image.pixelColor(tickColumn + 53, aHigh).lightness() >= 200);

        // B is active low and falls at 300 ns.
        const int bRow = p.laneTop(2) + p.laneHeight - 12;
        const int fall = inkFrom(image, p.headerWidth + 2, bRow);
        QVERIFY(std::abs(fall - int(std::floor(XOf(300 * ns, v, p)))) <= 1);
    }

    void zoomKeepsTheTimeUnderTheMouse() {
        TraceView view;
        QVERIFY(showChain(view, 1000));
        const QPointF mouse(600, 150);
        const Ps before = TimeAt(mouse.x(), view.view(), view.params());
        const double scale = view.view().psPerPixel;
        turnWheel(view, mouse, 3, Qt::NoModifier);
        QVERIFY(view.view().psPerPixel < scale / 1.9);
        QVERIFY(std::llabs(TimeAt(mouse.x(), view.view(), view.params()) - before) <=
                Ps(view.view().psPerPixel) + 1);

        // Shift+wheel pans instead; Home brings time 0 back into view.
        const Ps offset = view.view().offset;
        turnWheel(view, mouse, -1, Qt::ShiftModifier);
        QVERIFY(view.view().offset > offset);
        QTest::keyClick(&view, Qt::Key_End);
        QTest::keyClick(&view, Qt::Key_Home);
        QVERIFY(view.view().offset <= 0);
        QVERIFY(XOf(0, view.view(), view.params()) < view.width());
    }

    void cursorsSnapToEdges() {
        TraceView view;
        QVERIFY(showChain(view, 1104));
        ViewState v = view.view();
        v.offset = 0;
        v.psPerPixel = 1000;
        view.setView(v);
        const PaintParams p = view.params();
        // 4 px beside A's rise at 100 ns and beside B's fall at 300 ns.
        const int aRow = p.laneTop(1) + p.laneHeight / 2;
        const int bRow = p.laneTop(2) + p.laneHeight / 2;
        view.placeCursor(0, view.snapped(XOf(100 * ns, v, p) + 4, aRow));
        view.placeCursor(1, view.snapped(XOf(300 * ns, v, p) - 4, bRow));
        QCOMPARE(view.view().cursorA, std::optional<Ps>(100 * ns));
        QCOMPARE(view.view().cursorB, std::optional<Ps>(300 * ns));
        QCOMPARE(CursorReadout(view.view()),
                 QStringLiteral("A 100 ns    B 300 ns    \u0394t 200 ns    1/\u0394t 5 MHz"));
        // The zero point moves the readings, not the difference.
        view.setZero(100 * ns);
        QVERIFY(CursorReadout(view.view()).startsWith(QStringLiteral("A 0 s    B 200 ns")));
        // Far from any edge the cursor stays where it is put.
        const Ps free = view.snapped(XOf(700 * ns, v, p), aRow);
        QCOMPARE(free, 700 * ns);
    }

    void densePulsesBecomeABandWithTheirCount() {
        const Model model(chain());
        const PaintParams p = paper({1104, 200});
        ViewState v;
        v.psPerPixel = 1e9; // 1 ms per pixel: a thousand T0 ticks in each
        const auto segments = model.segments(0, 0, TimeAt(p.area.right(), v, p), Ps(2e9));
        QVERIFY(!segments.empty());
        QVERIFY(segments.front().band);
        QImage image(p.area.size(), QImage::Format_RGB32);
        QPainter painter(&image);
        PaintDiagram(painter, model, v, p);
        painter.end();
        // Shaded, not a thousand strokes per pixel: the middle of the lane is tinted.
        const QColor mid = image.pixelColor(p.headerWidth + 500, p.laneTop(0) + p.laneHeight / 2);
        QVERIFY(mid != QColor(Qt::white));
    }

    // Edit mode: an edge dragged so many pixels at 1 ns a pixel proposes the
    // delay or width on the 5 ns grid, within the range; Esc proposes nothing.
    void draggingEdgesSetsTheTiming_data() {
        QTest::addColumn<bool>("falling");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("escape");
        QTest::addColumn<Ps>("expected"); // -1: nothing proposed
        QTest::addColumn<QString>("announced");
        QTest::newRow("rising edge 30 px on: delay 230 ns")
            << false << 30 << false << 230 * ns << "rising edge: delay 230 ns";
        QTest::newRow("33 px: onto the grid, 235 ns") << false << 33 << false << 235 * ns << "";
        QTest::newRow("falling edge 20 px back: width 30 ns")
            << true << -20 << false << 30 * ns << "falling edge: width 30 ns";
        QTest::newRow("past the range: stops at 1 us")
            << false << 880 << false << 1000 * ns << "delay 1 \u00b5s (limit)";
        QTest::newRow("Esc puts it back") << false << 30 << true << Ps(-1) << "delay 200 ns";
    }

    void draggingEdgesSetsTheTiming() {
        QFETCH(bool, falling);
        QFETCH(int, pixels);
        QFETCH(bool, escape);
        QFETCH(Ps, expected);
        QFETCH(QString, announced);
        Settings s = chain();
        for (ChannelSettings& c : s.channels) {
            c.delayStep = c.widthStep = 5 * ns;
            c.delayMin = -1000 * ns;
            c.delayMax = 1000 * ns;
            c.widthMin = 10 * ns;
            c.widthMax = 500 * ns;
        }
        TraceView view;
        view.resize(1104, 300);
        view.setSettings(s);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        ViewState v;
        v.psPerPixel = 1000;
        view.setView(v);
        view.setEditMode(true);
        QList<std::tuple<int, bool, Ps>> proposed;
        connect(&view, &TraceView::edgeEdited, &view, [&](int c, bool w, Ps value) {
            proposed.append({c, w, value});
        });
        const PaintParams p = view.params();
        // B: 300 ns after T0 (A's 100 ns and its own 200 ns), 50 ns wide.
        const Ps edge = falling ? 350 * ns : 300 * ns;
        const QPoint at(qRound(XOf(edge, view.view(), p)), p.laneTop(2) + p.laneHeight / 2);
        QTest::mousePress(&view, Qt::LeftButton, {}, at);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(&view, at + QPoint(pixels * step / 4, 0));
        if (escape)
            QTest::keyClick(&view, Qt::Key_Escape);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, at + QPoint(pixels, 0));
        if (expected < 0)
            QVERIFY(proposed.isEmpty());
        else
            QCOMPARE(proposed, (QList<std::tuple<int, bool, Ps>>{{2, falling, expected}}));
        QVERIFY2(view.accessibleDescription().contains(announced),
                 qPrintable(view.accessibleDescription()));
        // The view never changes the settings itself: what the panel hands
        // it next is drawn (here: the old value, as after a refusal).
        view.setSettings(s);
        QCOMPARE(view.model().lanes()[2].delay, 200 * ns);
        if (expected < 0)
            return;
        // The chosen edge then steps by the grid, by ten with Ctrl.
        proposed.clear();
        QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(proposed.size(), 1);
        // From the value the panel holds, down ten steps; a width stops at 10 ns.
        QCOMPARE(std::get<2>(proposed.front()), falling ? 10 * ns : 150 * ns);
    }

    // A 5454's thirteen lanes from a window too short to show them: every
    // lane goes into each file, at the size the screen shows.
    void exportsHoldEveryLane() {
        QTemporaryDir dir;
        TimingWindow window;
        window.resize(900, 260);
        Settings s = chain();
        s.channels.resize(8, s.channels[0]);
        for (std::size_t n = 2; n < 8; ++n)
            s.channels[n].output = n < 4;
        window.setSettings(s, QStringLiteral("5454"), QStringLiteral("1234"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TraceView* view = window.view();
        QCOMPARE(view->model().lanes().size(), std::size_t(13));
        QVERIFY(view->findChild<QWidget*>(QStringLiteral("LaneScroll"))->isVisible());
        // Scrolled to the bottom, the last lane is in the window.
        view->setScroll(1 << 20);
        const PaintParams onScreen = view->params();
        QVERIFY(onScreen.laneTop(12) + onScreen.laneHeight <= view->height() + 1);
        QVERIFY(onScreen.laneTop(0) < onScreen.rulerRect().bottom());

        PaintParams full = onScreen;
        full.scroll = 0;
        full.caption = QStringLiteral("caption");
        full.readoutHeight = 22;
        const int height = full.neededHeight(13);
        QString error;

        const QString png = dir.filePath(QStringLiteral("t.png"));
        QVERIFY2(window.exportTo(png, error), qPrintable(error));
        const QImage image(png);
        // Twice the screen's device pixels, every lane with caption and readout.
        const double scale = 2 * view->devicePixelRatioF();
        QCOMPARE(image.width(), qRound(scale * onScreen.area.width()));
        QCOMPARE(image.height(), qRound(scale * height));

        const QString svg = dir.filePath(QStringLiteral("t.svg"));
        QVERIFY2(window.exportTo(svg, error), qPrintable(error));
        QSvgRenderer renderer(svg);
        QVERIFY(renderer.isValid());
        QCOMPARE(renderer.viewBox().height(), height);
        QFile svgFile(svg);
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        const QByteArray svgText = svgFile.readAll();
        QVERIFY(svgText.contains("5454 serial 1234"));
        QVERIFY(svgText.contains(">Out D<"));
        // The lane names at the pixel size the screen gives them.
        const int at = svgText.lastIndexOf("font-size=\"", svgText.indexOf(">Out D<"));
        QVERIFY(at > 0);
        QCOMPARE(svgText.mid(at + 11, 8).split('"').front().toInt(),
                 QFontInfo(view->font()).pixelSize());

        const QString pdf = dir.filePath(QStringLiteral("t.pdf"));
        QVERIFY2(window.exportTo(pdf, error), qPrintable(error));
        QFile pdfFile(pdf);
        QVERIFY(pdfFile.open(QIODevice::ReadOnly));
        QVERIFY(pdfFile.read(5) == "%PDF-");

        // Failures say why and leave nothing behind.
        QVERIFY(!window.exportTo(dir.filePath(QStringLiteral("t.bmp")), error));
        QVERIFY(error.contains(QStringLiteral("bmp")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("t.bmp"))));
        QVERIFY(!window.exportTo(dir.filePath(QStringLiteral("missing/t.png")), error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TstTimingView)
#include "tst_timing_view.moc"
