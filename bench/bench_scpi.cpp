// Round trip of a question from a script through the command socket: from
// writing "*IDN?" to reading its reply line, over a number of questions,
// against the simulated instrument on a pseudo-terminal.
//
//   bench_scpi [questions] [model]
//
// Prints the median, the 99th percentile and the worst round trip in ms.
#include "scripting/scpi_server.h"
#include "tests/support/panel_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int questions = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const std::string model = argc > 2 ? argv[2] : "5404+";

    testsupport::PanelHarness h(model);
    TMainForm::StartOptions options;
    options.serve = true;
    options.serveAddress.port = 0;
    if (!h.start(options) || !h.form()->CommandSocket()) {
        std::fprintf(stderr, "bench_scpi: the panel did not start\n");
        return 1;
    }
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, h.form()->CommandSocket()->port());
    if (!QTest::qWaitFor([&] { return client.state() == QAbstractSocket::ConnectedState; }, 3000))
        return 1;

    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < questions; ++i) {
        clock.start();
        client.write("*IDN?\n");
        // A real event loop: QTest's waits sleep between their looks.
        if (!client.canReadLine()) {
            QEventLoop loop;
            QObject::connect(&client, &QTcpSocket::readyRead, &loop, [&] {
                if (client.canReadLine())
                    loop.quit();
            });
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (!client.canReadLine()) {
            std::fprintf(stderr, "bench_scpi: no reply to question %d\n", i + 1);
            return 1;
        }
        client.readLine();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double p) {
        return ms[std::min(ms.size() - 1, std::size_t(p * double(ms.size() - 1) + 0.5))];
    };
    std::printf("%d questions: median %.2f ms, p99 %.2f ms, max %.2f ms\n", questions, at(0.5),
                at(0.99), ms.back());
    return 0;
}
