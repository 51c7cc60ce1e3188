// A seeded random interleaving of user actions against a slowly answering
// instrument: spin steps, list choices, check boxes and marks, tabs, Run/Stop,
// terminal questions, Refresh, recalls and saves to bins, and a script's
// lines through the command socket, the instrument unplugged and back within
// the panel's search, boxes nobody answers for a while, fired at random
// moments (often inside a reply wait), then a close during a read-back.
// Once the panel has settled, one more read-back must change nothing: the
// window and the cache showed what the instrument holds.
//
// MONKEY_SEEDS=N runs seeds 1..N (default 20), from MONKEY_FIRST_SEED on where
// that is set; MONKEY_SEED=S runs seed S
// alone, to replay a failure.
#include "comm/exchange.h"
#include "controls/plusspinedit.h"
#include "panel/compare_window.h"
#include "panel/panel_state.h"
#include "scripting/scpi_server.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"
#include "tests/support/panel_view.h"
#include "tests/support/queued_input.h"
#include "timing/timing_window.h"
#include "timing/trace_view.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <random>

using namespace std::chrono_literals;
using namespace testsupport;

namespace {

const char* const kModels[] = {"5402", "5404+", "5454", "5404", "5402+", "5452"};
const QStringList kQuestions = {QStringLiteral("*IDN?"), QStringLiteral(":PULS0:STAT?"),
                                QStringLiteral(":PULS0:PER?")};
// Set lines every model takes, as a script would send them.
const QStringList kScriptSets = {
    QStringLiteral(":PULS0:PER 0.000500000"), QStringLiteral(":PULS1:STAT 0"),
    QStringLiteral(":PULS1:STAT 1"),          QStringLiteral(":PULS1:WIDT 0.000001000"),
    QStringLiteral(":PULS0:MOD BURS"),        QStringLiteral(":PULS0:MOD NORM")};

template <typename T> QList<T*> usable(TMainForm* form) {
    QList<T*> out;
    for (T* w : form->findChildren<T*>())
        if (w->isVisible() && w->isEnabled())
            out << w;
    return out;
}

class Monkey {
public:
    Monkey(PanelHarness& h, unsigned seed) : h(h), f(h.form()), rng(seed) {}

    int pick(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng); }

    // One random action; what it was goes to the log.
    void act() {
        switch (pick(17)) {
        case 16:
            applyDifferences();
            break;
        case 15:
            // Undo or redo the user's last setting change.
            if (pick(3) == 0) {
                log << QStringLiteral("redo");
                f->Redo1->trigger();
            } else {
                log << QStringLiteral("undo");
                f->Undo1->trigger();
            }
            break;
        case 14:
            lookAtTiming();
            break;
        case 12:
            replug();
            break;
        case 13:
            awayFromDesk();
            break;
        case 0:
        case 1:
            stepSpin();
            break;
        case 2:
            chooseInList();
            break;
        case 3:
            toggleCheckBox();
            break;
        case 4:
            clickMark();
            break;
        case 5:
            showTab();
            break;
        case 6:
            log << QStringLiteral("Run/Stop");
            QueueClick(f->RunStopbtn);
            break;
        case 7:
            askInTerminal();
            break;
        case 8:
            log << QStringLiteral("Refresh");
            f->Up1->trigger();
            break;
        case 10:
            scriptLine();
            break;
        case 9: {
            const int bin = pick(7);
            log << QStringLiteral("recall %1").arg(bin);
            f->RestoreBinItems[std::size_t(bin)]->trigger();
            break;
        }
        case 11: {
            const int bin = 1 + pick(6);
            log << QStringLiteral("save to bin %1").arg(bin);
            f->SaveBinItems[std::size_t(bin)]->trigger();
            break;
        }
        }
    }

    // Lines typed into the terminal that it took (its history grew).
    QStringList askedLines() const {
        QStringList taken;
        for (int i = historyStart; i < f->SendEdit->count(); ++i)
            taken << f->SendEdit->itemText(i);
        return taken;
    }

    QStringList log;
    QTemporaryDir files;
    int historyStart = 0;
    QString stableName; // the instrument's name, a link that follows a replug
    int replugs = 0;
    QTcpSocket* script = nullptr;
    int scriptQuestions = 0;

private:
    // The timing diagram opened, zoomed, panned and its cursors put, while
    // whatever else runs goes on.
    void lookAtTiming() {
        f->TimingDiagram1->trigger();
        timing::TraceView* view = f->TimingDiagram()->view();
        const QPointF at(pick(std::max(1, view->width())), pick(std::max(1, view->height())));
        static const int keys[] = {Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Home, Qt::Key_End,
                                   Qt::Key_F,    Qt::Key_A,     Qt::Key_B,    Qt::Key_Z,
                                   Qt::Key_Left, Qt::Key_Escape};
        if (pick(3) == 0) {
            const int notches = pick(7) - 3;
            log << QStringLiteral("timing: wheel %1 at %2").arg(notches).arg(at.x());
            QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                              Qt::NoButton, pick(2) ? Qt::ShiftModifier : Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(view, &wheel);
        } else if (pick(2) == 0) {
            const Qt::Key key = Qt::Key(keys[pick(10)]);
            log << QStringLiteral("timing: key %1").arg(QKeySequence(key).toString());
            QTest::keyClick(view, key);
        } else {
            const QPoint from = at.toPoint();
            const QPoint to(pick(std::max(1, view->width())), from.y());
            // In edit mode a drag that starts on an edge sets a delay or width.
            view->setEditMode(pick(2) == 0);
            log << QStringLiteral("timing: %1drag %2 to %3")
                       .arg(view->editMode() ? QStringLiteral("edit ") : QString())
                       .arg(from.x())
                       .arg(to.x());
            QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
            QTest::mouseMove(view, to);
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
        }
    }

    // The instrument is unplugged and plugged in again under the same name
    // within the panel's search (a USB device re-enumerating).
    void replug() {
        if (stableName.isEmpty() || replugs >= 2)
            return;
        ++replugs;
        const int backAfter = pick(400);
        log << QStringLiteral("instrument unplugged, back after %1 ms").arg(backAfter);
        QFile::remove(stableName);
        h.instrument().replug();
        QTimer::singleShot(backAfter, [this] {
            QFile::link(QString::fromStdString(h.instrument().devicePath()), stableName);
        });
    }

    // Nobody answers the next boxes for a while.
    void awayFromDesk() {
        const int ms = pick(2) == 0 ? 0 : 200 + pick(1500);
        log << QStringLiteral("boxes left open for %1 ms").arg(ms);
        h.answers().setAnswerDelay(ms);
    }

    // Storage > Compare With Settings File on the settings as last read back
    // with one delay changed, then Apply Differences.
    void applyDifferences() {
        QStringList lines = pg5400::SettingsSnapshot;
        const int channel = 1 + pick(4);
        const QString header = QStringLiteral(":PULS%1:DEL ").arg(channel);
        for (QString& line : lines)
            if (line.startsWith(header))
                line = header + QStringLiteral("0.00000%1000000").arg(pick(10));
        const QString path = files.filePath(QStringLiteral("compare.txt"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(lines.join(QStringLiteral("\r\n")).toUtf8());
        file.close();
        log << QStringLiteral("compare and apply, Ch %1 delay").arg(QChar(u'A' + channel - 1));
        f->CompareWithFile(path);
        QTimer::singleShot(pick(300), f, [this] {
            if (f->CompareWindow() && f->CompareWindow()->isVisible())
                f->CompareWindow()->apply->click();
        });
    }

    void scriptLine() {
        if (!script)
            return;
        const bool question = pick(2) == 0;
        const QString line = question ? kQuestions.at(pick(int(kQuestions.size())))
                                      : kScriptSets.at(pick(int(kScriptSets.size())));
        log << QStringLiteral("script: ") + line;
        script->write(line.toLatin1() + '\n');
        if (question)
            ++scriptQuestions;
    }

    void stepSpin() {
        const QList<TPlusSpinEdit*> spins = usable<TPlusSpinEdit>(f);
        if (spins.isEmpty())
            return;
        TPlusSpinEdit* spin = spins.at(pick(int(spins.size())));
        const int x = 4 + pick(std::max(1, spin->width() - 24));
        const bool up = pick(2) == 0;
        log << spin->objectName() +
                   (up ? QStringLiteral(" up at x=") : QStringLiteral(" down at x=")) +
                   QString::number(x);
        QueueClick(spin, QPoint(x, spin->height() / 2));
        QueueKey(f, up ? Qt::Key_Up : Qt::Key_Down);
    }

    void chooseInList() {
        QList<QComboBox*> lists = usable<QComboBox>(f);
        lists.removeAll(f->SendEdit);
        if (lists.isEmpty())
            return;
        QComboBox* list = lists.at(pick(int(lists.size())));
        const bool down = pick(2) == 0;
        log << list->objectName() + (down ? QStringLiteral(" next") : QStringLiteral(" previous"));
        QueueClick(list, QPoint(list->width() / 3, list->height() / 2));
        QueueKey(f, down ? Qt::Key_Down : Qt::Key_Up);
    }

    void toggleCheckBox() {
        const QList<QCheckBox*> boxes = usable<QCheckBox>(f);
        if (boxes.isEmpty())
            return;
        QCheckBox* box = boxes.at(pick(int(boxes.size())));
        log << box->objectName() + QStringLiteral(" click");
        QueueClick(box, QPoint(6, box->height() / 2));
    }

    void clickMark() {
        const QList<QListWidget*> lists = usable<QListWidget>(f);
        if (lists.isEmpty())
            return;
        QListWidget* list = lists.at(pick(int(lists.size())));
        const int row = pick(list->count());
        const QRect r = list->visualItemRect(list->item(row));
        log << list->objectName() + QStringLiteral(" mark %1").arg(row);
        QueueClick(list->viewport(), r.topLeft() + QPoint(8, r.height() / 2));
    }

    void showTab() {
        QTabWidget* tabs = pick(2) == 0 ? f->ChPageControl : f->SystemPageControl;
        QTabBar* bar = tabs->tabBar();
        int visible = 0;
        for (int i = 0; i < bar->count(); ++i)
            visible += bar->isTabVisible(i) ? 1 : 0;
        const int index = pick(std::max(1, visible));
        log << tabs->objectName() + QStringLiteral(" tab %1").arg(index);
        QueueClick(bar, bar->tabRect(index).center());
    }

    void askInTerminal() {
        const QString line = kQuestions.at(pick(int(kQuestions.size())));
        log << QStringLiteral("terminal ") + line;
        QueueClick(f->SendEdit->lineEdit());
        QueueKey(f, Qt::Key_A, Qt::ControlModifier);
        QueueText(f, line);
        QueueKey(f, Qt::Key_Return);
    }

    PanelHarness& h;
    TMainForm* f;
    std::mt19937 rng;
};

} // namespace

class TstMonkey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void interleavings_data() {
        QTest::addColumn<unsigned>("seed");
        if (const int one = qEnvironmentVariableIntValue("MONKEY_SEED"); one > 0) {
            QTest::addRow("seed %d", one) << unsigned(one);
            return;
        }
        const int count = qEnvironmentVariableIsSet("MONKEY_SEEDS")
                              ? qEnvironmentVariableIntValue("MONKEY_SEEDS")
                              : 20;
        const int first = std::max(1, qEnvironmentVariableIntValue("MONKEY_FIRST_SEED"));
        for (int seed = first; seed <= count; ++seed)
            QTest::addRow("seed %d", seed) << unsigned(seed);
    }

    void interleavings() {
        QFETCH(unsigned, seed);
        std::mt19937 setup(seed * 7919u);
        sim::ServerOptions options;
        options.instrument.model = kModels[setup() % std::size(kModels)];
        options.faults.replyDelay = std::chrono::milliseconds(1 + setup() % 3);
        PanelHarness h(options);
        TMainForm::StartOptions start;
        start.serve = true;
        start.serveAddress.port = 0;
        QTemporaryDir dev;
        const QString stable = dev.filePath(QStringLiteral("ttyACM0"));
        QVERIFY(QFile::link(QString::fromStdString(h.instrument().devicePath()), stable));
        serialport::SetPortTableOverride({stable});
        QVERIFY(h.start(start));
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        Monkey monkey(h, seed);
        monkey.historyStart = f->SendEdit->count();
        monkey.stableName = stable;
        QTcpSocket script;
        script.connectToHost(QHostAddress::LocalHost, f->CommandSocket()->port());
        QTRY_VERIFY(script.state() == QAbstractSocket::ConnectedState);
        monkey.script = &script;
        struct ReplayHint {
            unsigned seed;
            const Monkey& m;
            const char* model;
            ~ReplayHint() {
                if (QTest::currentTestFailed())
                    qWarning().noquote()
                        << "monkey seed" << seed << "model" << model
                        << "(replay: MONKEY_SEED=" + QString::number(seed) + ")\nactions:\n  " +
                               m.log.join(QStringLiteral("\n  "));
            }
        } hint{seed, monkey, options.instrument.model.c_str()};

        // The actions fire from timers, so many land inside a reply wait.
        const int actions = 20 + monkey.pick(10);
        int fired = 0;
        int at = 0;
        std::vector<std::unique_ptr<QTimer>> timers;
        for (int i = 0; i < actions; ++i) {
            at += monkey.pick(60);
            auto timer = std::make_unique<QTimer>();
            timer->setSingleShot(true);
            connect(timer.get(), &QTimer::timeout, [&] {
                if (!communication::ShutdownBegun)
                    monkey.act();
                ++fired;
            });
            timer->start(at);
            timers.push_back(std::move(timer));
        }
        QTRY_VERIFY_WITH_TIMEOUT(fired == actions, 30000);
        QTest::qWait(500); // the last input's turn, a replugged instrument's return
        h.answers().setAnswerDelay(0);
        QVERIFY(h.waitIdle(30s));
        // Every script question has its one reply line; after the script's
        // pause the window catches up with what it set.
        int replies = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                // A question the instrument took with it when it went has its
                // line too.
                while (script.canReadLine()) {
                    const QByteArray line = script.readLine();
                    if (!line.startsWith('?') || line.startsWith("? no reply"))
                        ++replies;
                }
                return replies >= monkey.scriptQuestions;
            }(),
            10000);
        QCOMPARE(replies, monkey.scriptQuestions);
        QTest::qWait(pg5400::ScpiServer::QuietMs + 50);
        QVERIFY(h.waitIdle(30s));

        const QStringList changes = ReadBackChanges(h);
        QVERIFY2(changes.isEmpty(), qPrintable(QStringLiteral("one more read-back changed:\n  ") +
                                               changes.join(QStringLiteral("\n  "))));
        const auto simRunning = [&] {
            return h.instrument().withInstrument([](sim::Instrument& i) { return i.running(); });
        };
        // The run state follows within a poll or two.
        QTRY_COMPARE_WITH_TIMEOUT(f->RunStopbtn->text(),
                                  simRunning() ? QStringLiteral("Stop") : QStringLiteral("Run"),
                                  3000);
        const QStringList wire = QLines(h.linesSince(0));
        // Only the line in flight when the instrument was unplugged may be lost.
        QStringList neverSent;
        for (const QString& line : monkey.askedLines())
            if (!wire.contains(line))
                neverSent << line;
        QVERIFY2(neverSent.size() <= monkey.replugs,
                 qPrintable(neverSent.join(QStringLiteral(", ")) + QStringLiteral(" never sent")));
        for (const QString& text : h.answers().texts())
            QVERIFY2(text.startsWith(QStringLiteral("Error.")), qPrintable(text));

        // The close box during a read-back ends it all at once.
        bool closed = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (!closed && f->Busy() && h.mark() > std::size_t(wire.size()) + 10) {
                QueueClose(f);
                closed = true;
            }
        });
        watch.start(1);
        f->Up1->trigger();
        QTRY_VERIFY(communication::ShutdownBegun);
        QVERIFY(closed);
        const std::size_t atClose = h.mark();
        QTest::qWait(50);
        QCOMPARE(h.mark(), atClose);
        QVERIFY(!f->ComPort->Opened());
    }
};

QTEST_MAIN(TstMonkey)
#include "tst_monkey.moc"
