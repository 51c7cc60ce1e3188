// Measures what one more traffic line costs the command terminal as the run
// grows: the append itself and the repaint that follows it, around the 100th
// and around the 100,000th line of a view that keeps every line.
#include "bench/resident_memory.h"
#include "comm/terminal_sink.h"
#include "controls/terminal_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLines = 100000;
constexpr int kWindow = 100; // lines measured on either side of a mark

struct Costs {
    std::vector<qint64> append;  // the append call alone, ns
    std::vector<qint64> painted; // append plus the event processing after it, ns
};

double median(std::vector<qint64> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : double(v[v.size() / 2]) / 1000.0;
}

double mean(const std::vector<qint64>& v) {
    double sum = 0;
    for (qint64 x : v)
        sum += double(x);
    return v.empty() ? 0.0 : sum / double(v.size()) / 1000.0;
}

QString trafficLine(int i) {
    // A command and its reply, as the task tick writes them.
    const QString stamp = QLatin1Char('(') + communication::TimeStamp() + QStringLiteral(") ");
    return i % 2 ? stamp + QStringLiteral(":PULS%1:DEL 0.000001250").arg(i % 8 + 1)
                 : stamp + QStringLiteral("ok");
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(456, 121);
    auto* view = new TerminalView(&window);
    view->setGeometry(25, 45, 390, 70);
    window.show();
    QCoreApplication::processEvents();

    // Lines 51..150 and 99,901..100,000 (1-based), so each window is centred
    // on its mark.
    const int earlyFrom = 100 - kWindow / 2, lateFrom = kLines - kWindow + 1;
    Costs early, late;
    QElapsedTimer total;
    total.start();
    QElapsedTimer clock;
    for (int n = 1; n <= kLines; ++n) {
        const QString line = trafficLine(n);
        const QColor& colour = n % 2 ? communication::kCommandColour : communication::kReplyColour;
        clock.start();
        view->AppendTerminalLine(line, colour);
        const qint64 appended = clock.nsecsElapsed();
        QCoreApplication::processEvents();
        const qint64 painted = clock.nsecsElapsed();
        Costs* into = n >= earlyFrom && n < earlyFrom + kWindow ? &early
                      : n >= lateFrom                           ? &late
                                                                : nullptr;
        if (into) {
            into->append.push_back(appended);
            into->painted.push_back(painted);
        }
    }
    const double seconds = double(total.elapsed()) / 1000.0;

    std::printf("platform %s, %d lines in %.2f s, %d lines held, RSS %ld KiB\n",
                qPrintable(QGuiApplication::platformName()), kLines, seconds, view->lineCount(),
                residentKiB());
    std::printf("%-28s %12s %12s %12s %12s\n", "per line (us)", "append med", "append mean",
                "+paint med", "+paint mean");
    std::printf("%-28s %12.1f %12.1f %12.1f %12.1f\n", "around line 100", median(early.append),
                mean(early.append), median(early.painted), mean(early.painted));
    std::printf("%-28s %12.1f %12.1f %12.1f %12.1f\n", "around line 100,000", median(late.append),
                mean(late.append), median(late.painted), mean(late.painted));
    std::printf("ratio 100,000th / 100th (median, append+paint): %.2f (goal <= 2)\n",
                median(late.painted) / std::max(median(early.painted), 1e-9));

    // Reading lines back by number stays cheap at the far end too.
    clock.start();
    int found = 0;
    for (int i = 0; i < 1000; ++i)
        found += view->lineText(kLines - 1 - i).isEmpty() ? 0 : 1;
    std::printf("lineText of the last 1,000 lines: %.1f us each (%d non-empty)\n",
                double(clock.nsecsElapsed()) / 1000.0 / 1000.0, found);
    return 0;
}
