// The panel native under a Wayland compositor (weston, headless): it reads
// back the simulated instrument, a spin step reaches the wire, and the
// capture, with no screen to read there, falls back to the window's own
// rendering.
#include "controls/plusspinedit.h"
#include "desktop/jpeg_io.h"
#include "panel/main_form.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pg5400;
using namespace testsupport;

namespace {
const char* const kChild = "PG_WAYLAND_CHILD";
}

class TstWayland : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void panelRunsNatively() {
        if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty())
            QSKIP("weston is not installed (scripts/deps.sh installs it)");
        QTemporaryDir runtime; // the compositor's socket lives here, mode 0700
        QVERIFY(QFile::setPermissions(runtime.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString socket = QStringLiteral("pg5400-test");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.remove(QStringLiteral("DISPLAY"));
        QProcess weston;
        weston.setProcessEnvironment(env);
        weston.setProcessChannelMode(QProcess::MergedChannels);
        weston.start(QStringLiteral("weston"),
                     {QStringLiteral("--backend=headless-backend.so"),
                      QStringLiteral("--socket=") + socket, QStringLiteral("--idle-time=0"),
                      QStringLiteral("--width=1600"), QStringLiteral("--height=1000")});
        QVERIFY(weston.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(runtime.filePath(socket)) || weston.state() != QProcess::Running, 10000);
        QVERIFY2(weston.state() == QProcess::Running, weston.readAll().constData());

        env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        env.insert(QString::fromLatin1(kChild), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.setWorkingDirectory(runtime.path());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("checkWayland")});
        const bool finished = child.waitForFinished(90000);
        const QByteArray output = child.readAll();
        weston.terminate();
        weston.waitForFinished(3000);
        QVERIFY2(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("PASS   : TstWayland::checkWayland()"), output.constData());
    }

    // The child's half, inside the compositor.
    void checkWayland() {
        if (!qEnvironmentVariableIsSet(kChild))
            QSKIP("runs inside panelRunsNatively, under weston");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        PanelHarness h("5404+");
        QVERIFY(h.start());
        TMainForm* f = h.form();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QVERIFY(f->windowTitle().contains(QStringLiteral("5404")));
        QCOMPARE(f->PeriodAdj->Value(), 0.001);

        const std::size_t mark = MarkIdle(h);
        QVERIFY(StepDigit(f->PeriodAdj, -3, 1));
        COMPARE_LINES(SentSince(h, mark), QStringList{":PULS0:PER 0.002000000"});

        // No screen to read: the window's own rendering, at the window's size.
        f->CaptureScreenShot1->trigger();
        QFile file(QDir::current().filePath(QStringLiteral("5400ScreenShot.jpg")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(ReadJpeg(file.readAll()).size(), f->size());
        QCOMPARE(h.answers().count(), 0);

        // A message box comes up and is answered there too.
        f->About1->trigger();
        QCOMPARE(h.answers().count(), 1);
        QVERIFY(h.answers().texts().value(0).startsWith(QStringLiteral("Company: Pellgrave")));
    }
};

QTEST_MAIN(TstWayland)
#include "tst_wayland.moc"
