// Tools > Timing Diagram against the simulated instrument: the window follows
// edits, read-backs and script changes, shows what a read-back brings even
// when the panel could never have set it (a sync loop), opens in
// demonstration mode, and never puts a line on the wire itself.
#include "controls/plusspinedit.h"
#include "instrument/settings_cache.h"
#include "tests/support/edit_input.h"
#include "tests/support/panel_harness.h"
#include "timing/timing_window.h"
#include "timing/trace_view.h"

#include <QAction>
#include <QTabWidget>
#include <QTest>
#include <QUndoStack>

using namespace pg5400;
using namespace testsupport;
using timing::Ps;

namespace {

constexpr Ps ns = 1000;

const timing::Model& shown(TMainForm* f) {
    return f->TimingDiagram()->view()->model();
}

std::optional<Ps> firstStart(TMainForm* f, int lane) {
    return shown(f).firstStart(lane, -1'000'000 * ns, 1'000'000'000 * ns);
}

void ask(PanelHarness& h, const std::string& line) {
    h.instrument().withInstrument([&](sim::Instrument& i) { return i.handleLine(line); });
}

} // namespace

class TstTimingDiagram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void followsEditsReadBacksAndScripts() {
        PanelHarness h("5454");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        const std::size_t mark = MarkIdle(h);
        f->TimingDiagram1->trigger();
        QVERIFY(f->TimingDiagram() && f->TimingDiagram()->isVisible());
        // T0, eight channels, four outputs; E to H are virtual.
        QCOMPARE(shown(f).lanes().size(), std::size_t(13));
        QVERIFY(shown(f).lanes()[5].virtualChannel && !shown(f).lanes()[4].virtualChannel);
        QCOMPARE(shown(f).lanes()[12].name, QStringLiteral("Out D"));
        // Opening it sent nothing.
        QVERIFY(h.waitIdle());
        QCOMPARE(h.linesSince(mark).size(), std::size_t(0));

        // An edit: the window shows it once the event loop has turned.
        ShowTab(f->ChPageControl, 1);
        QVERIFY(StepDigit(f->ChDelayAdj[2], -7, 3));
        QTRY_COMPARE(firstStart(f, 2), std::optional<Ps>(timing::ToPs(ChannelSettings[2].Delay)));
        QCOMPARE(firstStart(f, 2), std::optional<Ps>(300 * ns));

        // A change behind the panel's back (a script, another program), then
        // a read-back: B now follows A, 300 ns after A's start.
        ask(h, ":PULS1:DEL 0.000000050000");
        ask(h, ":PULS2:SYNC CHA");
        f->Up1->trigger();
        QVERIFY(h.waitIdle());
        QTRY_COMPARE(shown(f).lanes()[2].sourceLane, 1);
        QCOMPARE(firstStart(f, 2), std::optional<Ps>(350 * ns));

        // A loop only a read-back can bring: error lanes, a window that lives.
        ask(h, ":PULS1:SYNC CHB");
        f->Up1->trigger();
        QVERIFY(h.waitIdle());
        QTRY_VERIFY(!shown(f).lanes()[1].error.isEmpty());
        QVERIFY(shown(f).lanes()[1].error.contains(QStringLiteral("loop")));
        QVERIFY(!shown(f).lanes()[2].error.isEmpty());
        QVERIFY(shown(f).segments(1, 0, 1'000'000 * ns, 1).empty());
        f->TimingDiagram()->view()->fitPeriod();
        QVERIFY(!f->TimingDiagram()->grab().isNull());
    }

    // An edge dragged in edit mode: the line on the wire, the spin edit and
    // the diagram agree, and the drag is one undo step.
    void draggingAnEdgeSetsTheInstrument() {
        PanelHarness h("5454");
        QVERIFY(h.start());
        QVERIFY(ActivatePanel(h));
        TMainForm* f = h.form();
        f->TimingDiagram1->trigger();
        timing::TraceView* view = f->TimingDiagram()->view();
        QVERIFY(QTest::qWaitForWindowExposed(f->TimingDiagram()));
        auto* edit = f->TimingDiagram()->findChild<QAction*>(QStringLiteral("EditTiming"));
        QVERIFY(edit && !edit->isChecked());
        edit->trigger();
        QVERIFY(view->editMode());
        timing::ViewState v;
        v.psPerPixel = 1000; // 1 ns a pixel
        v.offset = -100 * ns;
        view->setView(v);
        const std::size_t mark = MarkIdle(h);
        const int steps = f->UndoStack()->count();
        const Ps start = *firstStart(f, 2);
        const timing::PaintParams p = view->params();
        const QPoint at(qRound(timing::XOf(start, view->view(), p)),
                        p.laneTop(2) + p.laneHeight / 2);
        QTest::mousePress(view, Qt::LeftButton, {}, at);
        QTest::mouseMove(view, at + QPoint(25, 0));
        QTest::mouseMove(view, at + QPoint(50, 0));
        QTest::mouseRelease(view, Qt::LeftButton, {}, at + QPoint(50, 0));
        QCOMPARE(timing::ToPs(ChannelSettings[2].Delay), start + 50 * ns);
        QCOMPARE(timing::ToPs(f->ChDelayAdj[2]->Value()), start + 50 * ns);
        QStringList sent = SentSince(h, mark);
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent.front().startsWith(QStringLiteral(":PULS2:DEL 0.0000000500")),
                 qPrintable(sent.front()));
        QTRY_COMPARE(firstStart(f, 2), std::optional<Ps>(start + 50 * ns));
        QCOMPARE(f->UndoStack()->count(), steps + 1);
    }

    void opensInDemonstrationMode() {
        PanelHarness h("5404+");
        TMainForm::StartOptions options;
        options.demo = true;
        QVERIFY(h.start(options));
        TMainForm* f = h.form();
        f->TimingDiagram1->trigger();
        QVERIFY(f->TimingDiagram()->isVisible());
        // Without a model every channel the pages hold.
        QCOMPARE(shown(f).lanes()[8].name, QStringLiteral("Ch H"));
        // An edit reaches it as in a session with an instrument.
        QVERIFY(ActivatePanel(h));
        ShowTab(f->ChPageControl, 0);
        QVERIFY(StepDigit(f->ChDelayAdj[1], -6, 2));
        QTRY_COMPARE(firstStart(f, 1), std::optional<Ps>(timing::ToPs(ChannelSettings[1].Delay)));
    }
};

QTEST_MAIN(TstTimingDiagram)
#include "tst_timing_diagram.moc"
