// The panel's window-free pieces: channel naming, the command queue and the
// timing grid test.
#include "comm/exchange.h"
#include "controls/spinvaluemodel.h"
#include "instrument/resolution.h"
#include "instrument/settings_cache.h"
#include "panel/command_queue.h"

#include <QTest>
#include <cmath>

using namespace pg5400;

class TstPanelModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        ResetCommandQueue();
        communication::ResetExchange();
    }

    void channelNames() {
        for (const char* name : {"CHC", "ChC", "Ch C"})
            QCOMPARE(GetChannelNumber(QLatin1String(name)), 3);
        QCOMPARE(GetChannelNumber(QStringLiteral("T0")), 0);
        QCOMPARE(GetChannelNumber(QStringLiteral("CHH")), 8);
        // Outside the table: recognisably no channel, never a usable index.
        for (const char* name : {"cha", "", "CHI", "Ch  A", "T1", "?"})
            QCOMPARE(GetChannelNumber(QLatin1String(name)), NoChannel);
        QCOMPARE(GetChSyncName(1), QStringLiteral("Ch A"));
        QCOMPARE(GetChCmdName(8), QStringLiteral("CHH"));
        QCOMPARE(GetChCmdName(9), QString());
        QCOMPARE(GetChSyncName(-1), QString());
        QCOMPARE(GetChSyncName(0), QStringLiteral("T0"));
    }

    void channelIndexInTrimmedLists() {
        const QStringList chB{"T0", "Ch A", "Ch C", "Ch D"};
        QCOMPARE(GetChannelIndex(chB, 3), 2);
        QCOMPARE(GetChannelIndex(chB, 0), 0);
        QCOMPARE(GetChannelIndex(chB, 2), -1);                   // the channel's own entry is gone
        QCOMPARE(GetChannelIndex({"T0", "Ch A", "Ch A"}, 1), 2); // the last equal entry wins
        QCOMPARE(GetChannelIndex(chB, 9), -1);
    }

    void queueKeepsOrderAndBound() {
        QCOMPARE(EnqueueCommand(QStringLiteral("A")), QueueResult::Queued);
        QCOMPARE(EnqueueCommand(QStringLiteral("B")), QueueResult::Queued);
        QVERIFY(CommandsPending);
        QStringList taken;
        while (CommandsPending)
            taken << TakeFirstQueuedCommand().text;
        QCOMPARE(taken, (QStringList{"A", "B"}));
        QVERIFY(!CommandsPending);
        for (int i = 0; i < MaxQueuedCommands; ++i)
            QCOMPARE(EnqueueCommand(QString::number(i)), QueueResult::Queued);
        QCOMPARE(EnqueueCommand(QStringLiteral("one too many")), QueueResult::Full);
        QCOMPARE(TaskList.Count(), MaxQueuedCommands);
        QCOMPARE(TaskList.Lines.last().text, QStringLiteral("99"));
    }

    void suspendedQueueDropsSilently() {
        communication::CommandsSuspended = true;
        QCOMPARE(EnqueueCommand(QStringLiteral("A")), QueueResult::Suspended);
        QCOMPARE(TaskList.Count(), 0);
        QVERIFY(!CommandsPending);
    }

    void resolutionGrid_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("resolution");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0.0004 step rounds to 0") << 1.000004e-6 << 1e-8 << true;
        QTest::newRow("half step") << 1.005e-6 << 1e-8 << false;
        QTest::newRow("0.9999 step folds to 0") << 1.009999e-6 << 1e-8 << true;
        QTest::newRow("half step at 4 ns") << 2.5e-7 << 4e-9 << false;
        QTest::newRow("equal to the step") << 5e-9 << 5e-9 << true;
        QTest::newRow("on the 5 ps grid") << 1.234565e-6 << 5e-12 << true;
        QTest::newRow("off the 5 ps grid") << 1.234567e-6 << 5e-12 << false;
        QTest::newRow("1 ms at 10 ns") << 0.001 << 1e-8 << true;
        QTest::newRow("1000 s at 4 ns") << 1000.0 << 4e-9 << true;
        QTest::newRow("negative off grid") << -1.005e-6 << 1e-8 << false;
        QTest::newRow("negative on grid") << -1.01e-6 << 1e-8 << true;
        QTest::newRow("zero value") << 0.0 << 1e-8 << true;
        QTest::newRow("no resolution yet") << 1.2345e-7 << 0.0 << true;
    }

    void resolutionGrid() {
        QFETCH(double, value);
        QFETCH(double, resolution);
        QFETCH(bool, accepted);
        QCOMPARE(CheckResolution(value, resolution), accepted);
    }

    // Across the whole range of every grid, values as the delay and period
    // controls produce them (typed decimals with the control's decimals, or
    // stepped from a typed value): on the grid accepted, one unit of the last
    // shown decimal off it refused.
    void resolutionGridOverWholeRange() {
        struct Grid {
            double step;
            int decimals;
            double limit;
        };
        for (const Grid g : {Grid{5e-12, 12, 4000}, Grid{4e-9, 9, 4000}, Grid{5e-9, 9, 1000},
                             Grid{1e-8, 8, 1000}}) {
            const long long stepUnits = std::llround(g.step * 1e12);
            const long long lastDecimal = std::llround(std::pow(10.0, 12 - g.decimals));
            const long long top = std::llround(g.limit * 1e12) / stepUnits;
            for (long long k :
                 {1LL, 7LL, 1000LL, 123457LL, 10000001LL, top / 3, top / 2 + 1, top - 1, top}) {
                if (k <= 0 || k > top)
                    continue;
                const long long units = k * stepUnits;
                const auto typed = [&](long long u) {
                    // The digits as typed: seconds with twelve decimals.
                    return QStringLiteral("%1.%2")
                        .arg(u / 1000000000000LL)
                        .arg(u % 1000000000000LL, 12, 10, QLatin1Char('0'))
                        .toDouble();
                };
                QVERIFY2(CheckResolution(typed(units), g.step),
                         qPrintable(QStringLiteral("%1 x %2").arg(k).arg(g.step)));
                QVERIFY2(CheckResolution(-typed(units), g.step), "negative");
                if (lastDecimal % stepUnits != 0)
                    for (long long off : {lastDecimal, -lastDecimal})
                        QVERIFY2(
                            !CheckResolution(typed(units + off), g.step),
                            qPrintable(QStringLiteral("%1 x %2 %3").arg(k).arg(g.step).arg(off)));
                TSpinValueModel spin;
                spin.setMinValue(-g.limit);
                spin.setMaxValue(g.limit);
                spin.setDecimals(g.decimals);
                spin.setIncrement(g.step);
                spin.setValue(typed(units));
                for (int i = 0; i < 50 && spin.Value() + g.step <= g.limit; ++i) {
                    spin.SpinUp();
                    QVERIFY2(CheckResolution(spin.Value(), g.step),
                             qPrintable(QString::number(spin.Value(), 'g', 17)));
                }
            }
        }
        QVERIFY(CheckResolution(50.000000000965, 5e-12));
        QVERIFY(CheckResolution(1000.000000000895, 5e-12));
        QVERIFY(!CheckResolution(qInf(), 5e-12));
        QVERIFY(!CheckResolution(qQNaN(), 1e-8));
    }

    void roundingIsHalfAwayFromZero() {
        QCOMPARE(RoundTo(0.0005, 3), 0.001);
        QCOMPARE(RoundTo(-0.0005, 3), -0.001);
        QCOMPARE(RoundTo(0.00049, 3), 0.0);
    }
};

QTEST_MAIN(TstPanelModel)
#include "tst_panel_model.moc"
