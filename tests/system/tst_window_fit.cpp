// The window on screens of every size and scale, in a real X server: its
// frame inside the available area, its layout never squeezed, every control
// reachable; and the place the user left it, kept only where it still makes
// sense.
#include "desktop/designed_sizes.h"
#include "desktop/window_fit.h"
#include "panel/main_form.h"
#include "tests/support/panel_harness.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <xcb/xcb.h>

using namespace pg5400;
using testsupport::PanelHarness;

namespace {

const char* const kChild = "PG_FIT_CHILD";
const QStringList kStrip = {"BlueBanner",   "GreenBanner", "FeatureLabel",
                            "PulseAnimate", "ErrorLabel",  "RunStopbtn"};

bool inStrip(QWidget* w, QWidget* client) {
    for (; w && w != client; w = w->parentWidget())
        if (kStrip.contains(w->objectName()))
            return true;
    return false;
}

QString text(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// An X server of one size on a display of its own choosing.
xcb_connection_t* serverConnection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The screen as the X server has it, in its own pixels.
QRect serverScreen() {
    xcb_connection_t* c = serverConnection();
    if (!c)
        return {};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
}

// The window's outer edges as the X server has them, in device pixels:
// the frame a window manager put around it, where there is one.
QRect serverGeometry(QWidget* window) {
    xcb_connection_t* c = serverConnection();
    if (!c)
        return {};
    xcb_window_t w = xcb_window_t(window->winId());
    // Up to the child of the root.
    for (;;) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
        if (!tree)
            return {};
        const xcb_window_t parent = tree->parent, root = tree->root;
        std::free(tree);
        if (parent == root || parent == XCB_NONE)
            break;
        w = parent;
    }
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    if (!g)
        return {};
    const QRect r(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
    std::free(g);
    return r;
}

struct Xvfb {
    QProcess process;
    QString display;
    bool start(const QSize& size) {
        process.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"),
                       QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(100);
        display = QLatin1Char(':') + QString::fromLatin1(process.readLine().trimmed());
        return display.size() > 1;
    }
    ~Xvfb() {
        process.terminate();
        process.waitForFinished(3000);
    }
};

} // namespace

class TstWindowFit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each row runs the check below in a child process against an X server
    // of that size, with Qt's scale factor: the window's frame lies inside
    // the available area and every control can be scrolled into view.
    void fitsEveryScreen_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("1366x768 @1") << QSize(1366, 768) << "1" << false;
        QTest::newRow("1366x768 @1.25") << QSize(1366, 768) << "1.25" << true;
        QTest::newRow("1366x768 @1.5") << QSize(1366, 768) << "1.5" << true;
        QTest::newRow("1366x768 @2") << QSize(1366, 768) << "2" << true;
        QTest::newRow("1280x800 @1") << QSize(1280, 800) << "1" << false;
        QTest::newRow("1920x1080 @1.5") << QSize(1920, 1080) << "1.5" << true;
        QTest::newRow("2560x1440 @2") << QSize(2560, 1440) << "2" << true;
        QTest::newRow("3840x2160 @2") << QSize(3840, 2160) << "2" << false;
        // A factor whose logical screen is not a whole number of pixels (as
        // 200 % with 105 dpi fonts gives).
        QTest::newRow("1920x1080 @2.1875") << QSize(1920, 1080) << "2.1875" << true;
    }
    void fitsEveryScreen() {
        QFETCH(QSize, size);
        QFETCH(QString, scale);
        QFETCH(bool, scrolls);
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            QSKIP("Xvfb is not installed (scripts/deps.sh installs it)");
        Xvfb x;
        QVERIFY2(x.start(size), "Xvfb did not start");
        QTemporaryDir settings;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), x.display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        env.insert(QStringLiteral("PG5400_SETTINGS"), settings.filePath(QStringLiteral("s.ini")));
        env.insert(QString::fromLatin1(kChild),
                   scrolls ? QStringLiteral("scrolls") : QStringLiteral("fits"));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("checkFit")});
        QVERIFY(child.waitForFinished(90000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(output));
        for (const QString& line : output.split(QLatin1Char('\n')))
            if (line.contains(QStringLiteral("placed:")))
                qInfo("%s", qPrintable(line.trimmed()));
    }

    // The child's half of the row above.
    void checkFit() {
        const QString expected = qEnvironmentVariable(kChild);
        if (expected.isEmpty())
            QSKIP("runs inside fitsEveryScreen, in an X server of each size");
        PanelHarness h("5454");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QTest::qWait(50); // the fit once the real frame is known
        const QRect area = f->screen()->availableGeometry();
        QVERIFY2(
            area.contains(f->frameGeometry()),
            qPrintable(
                QStringLiteral("frame %1 outside %2").arg(text(f->frameGeometry()), text(area))));
        // And as the X server sees it, in the screen's own pixels: Qt's
        // logical geometry rounds, the server's is what the user sees.
        const QRect server = serverGeometry(f);
        const QRect screen = serverScreen();
        QVERIFY2(screen.contains(server),
                 qPrintable(QStringLiteral("the server has the window at %1 on a %2 screen")
                                .arg(text(server), text(screen))));
        auto* client = f->findChild<QWidget*>(QStringLiteral("ClientArea"));
        auto* scroll = f->findChild<QScrollArea*>(QStringLiteral("ClientScroll"));
        QVERIFY(client && scroll);
        QCOMPARE(client->size(), pg5400::designed::Client); // never squeezed
        QCOMPARE(f->Fit()->scrolls(), expected == QStringLiteral("scrolls"));
        // The banners carry as many pixels as the screen shows of them.
        const qreal ratio = f->devicePixelRatio();
        QCOMPARE(f->BlueBanner->pixmap().devicePixelRatio(), ratio > 1 ? ratio : 1.0);
        QCOMPARE(f->BlueBanner->pixmap().deviceIndependentSize().toSize(), QSize(615, 72));
        int checked = 0;
        for (QWidget* w : client->findChildren<QWidget*>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith(QStringLiteral("qt_")) ||
                w->objectName() == QStringLiteral("BannerBackdrop") || !w->isVisibleTo(client))
                continue;
            f->Fit()->bringIntoView(w);
            QRect view = scroll->viewport()->rect();
            if (!inStrip(w, client) && scroll->verticalScrollBar()->value() > 0)
                view.setTop(WindowFit::StripHeight);
            // What the layout puts beyond the client's edges is never shown.
            const QRect r = QRect(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size())
                                .intersected(QRect(client->mapTo(scroll->viewport(), QPoint(0, 0)),
                                                   client->size()));
            // A control taller or wider than the view shows its top or left.
            const bool seen = r.top() >= view.top() && r.left() >= view.left() &&
                              (r.bottom() <= view.bottom() || r.top() == view.top()) &&
                              (r.right() <= view.right() || r.left() == view.left());
            QVERIFY2(seen, qPrintable(QStringLiteral("%1 at %2 not in view %3")
                                          .arg(w->objectName(), text(r), text(view))));
            ++checked;
        }
        QVERIFY2(checked > 60, qPrintable(QString::number(checked)));
        std::printf("placed: screen %s, frame %s (server %s), view %dx%d, %d controls brought "
                    "into view\n",
                    qPrintable(text(f->screen()->geometry())), qPrintable(text(f->frameGeometry())),
                    qPrintable(text(server)), scroll->width(), scroll->height(), checked);
    }

    // Two screens side by side: where the user left the window it opens
    // again; a screen that is gone or a place off every screen is ignored;
    // a place partly off its screen is moved onto it.
    void placeIsRemembered() {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QTemporaryDir dir;
        const QByteArray ownSettings = qgetenv("PG5400_SETTINGS");
        qputenv("PG5400_SETTINGS", dir.filePath(QStringLiteral("s.ini")).toLocal8Bit());
        const auto opened = [](QPoint* at, QString* screen) {
            PanelHarness h("5404+");
            if (!h.start())
                return false;
            QTest::qWait(20);
            *at = h.form()->pos();
            *screen = h.form()->screen()->name();
            return true;
        };
        QPoint at;
        QString screen;
        QVERIFY(opened(&at, &screen));
        QCOMPARE(at, WindowFit::DesignedPos);
        {
            PanelHarness h("5404+");
            QVERIFY(h.start());
            h.form()->move(2100, 100);
            QTRY_COMPARE(h.form()->screen()->name(), QStringLiteral("Right"));
            h.form()->close();
        }
        QVERIFY(opened(&at, &screen));
        QCOMPARE(at, QPoint(2100, 100));
        QCOMPARE(screen, QStringLiteral("Right"));

        StorePlacement({QStringLiteral("Gone"), QPoint(2100, 100), true});
        QVERIFY(opened(&at, &screen));
        QCOMPARE(at, WindowFit::DesignedPos);
        StorePlacement({QStringLiteral("Left"), QPoint(5000, 5000), true});
        QVERIFY(opened(&at, &screen));
        QCOMPARE(at, WindowFit::DesignedPos);
        StorePlacement({QStringLiteral("Right"), QPoint(3100, 900), true});
        QVERIFY(opened(&at, &screen));
        QCOMPARE(screen, QStringLiteral("Right"));
        QVERIFY(QRect(1920, 0, 1280, 1024).contains(QRect(at, QSize(622, 700))));

        // A run on a simulated instrument uses the place, never keeps one.
        StorePlacement({QStringLiteral("Left"), QPoint(300, 200), true});
        {
            PanelHarness h("5404+");
            TMainForm::StartOptions simulate;
            simulate.simulate = true;
            QVERIFY(h.start(simulate));
            QTest::qWait(20);
            QCOMPARE(h.form()->pos(), QPoint(300, 200));
            h.form()->move(700, 300);
            h.form()->close();
        }
        QCOMPARE(LoadPlacement().framePos, QPoint(300, 200));
        qputenv("PG5400_SETTINGS", ownSettings);
    }
};

int main(int argc, char** argv) {
    // The parent runs on two offscreen screens side by side; a child runs in
    // the X server its row started.
    QTemporaryDir dir;
    if (!qEnvironmentVariableIsSet(kChild)) {
        const QString config = dir.filePath(QStringLiteral("screens.json"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(R"({"screens": [
            {"name": "Left", "x": 0, "y": 0, "width": 1920, "height": 1080,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
            {"name": "Right", "x": 1920, "y": 0, "width": 1280, "height": 1024,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    }
    QApplication app(argc, argv);
    TstWindowFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_fit.moc"
