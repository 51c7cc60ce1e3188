// A script left running: the pg5400 program (its own simulated instrument,
// the status poll on) takes lines back to back on its command socket, half of
// them questions, half set lines. Its resident memory and open descriptors are
// read from /proc as the run goes on.
//
//   bench_soak [lines]     (default 10000)
//
// Prints RSS and descriptors every tenth of the run, the rate of lines, and
// the growth over the second half extrapolated to 24 hours at that rate (by
// then the terminal's scrollback is full). The goal is at most 64 MB per 24 h
// with descriptors constant.
#include "bench/resident_memory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

int descriptors(qint64 pid) {
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(100, atoi(argv[1])) : 10000;
    const quint16 port = freePort();

    QProcess panel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    panel.setProcessEnvironment(env);
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    panel.start(QCoreApplication::applicationDirPath() + QStringLiteral("/pg5400"),
                {QStringLiteral("-simulate"), QStringLiteral("-serve=%1").arg(port)});
    if (!panel.waitForStarted()) {
        std::fprintf(stderr, "bench_soak: pg5400 did not start\n");
        return 1;
    }
    const qint64 pid = panel.processId();
    const QString panelPid = QString::number(pid);

    QTcpSocket client;
    QElapsedTimer wait;
    wait.start();
    while (client.state() != QAbstractSocket::ConnectedState && wait.elapsed() < 15000) {
        client.abort();
        client.connectToHost(QHostAddress::LocalHost, port);
        client.waitForConnected(200);
        if (client.state() != QAbstractSocket::ConnectedState)
            QThread::msleep(100);
    }
    if (client.state() != QAbstractSocket::ConnectedState) {
        std::fprintf(stderr, "bench_soak: no command socket on port %u\n", port);
        panel.kill();
        return 1;
    }
    // Past the first read-back.
    QThread::msleep(1500);

    auto ask = [&](const QByteArray& text) {
        client.write(text);
        while (!client.canReadLine())
            if (!client.waitForReadyRead(5000))
                return false;
        client.readLine();
        return true;
    };
    const long startKiB = residentKiB(panelPid);
    const int startFds = descriptors(pid);
    std::printf("%8s %10s %6s\n", "lines", "RSS KiB", "fds");
    std::printf("%8d %10ld %6d\n", 0, startKiB, startFds);
    QElapsedTimer clock;
    clock.start();
    long halfKiB = startKiB;
    qint64 halfMs = 0;
    for (int i = 0; i < lines; i += 2) {
        // A set line (no reply unless refused) and a question after it.
        const QByteArray set =
            QByteArray(":PULS1:DEL 0.0000") + QByteArray::number(10 + i % 80) + "\n";
        if (!ask(set + (i % 4 ? ":PULS1:DEL?\n" : "*IDN?\n"))) {
            std::fprintf(stderr, "bench_soak: no reply after %d lines\n", i);
            panel.kill();
            return 1;
        }
        const int done = i + 2;
        if (done % (lines / 10) == 0 || done >= lines)
            std::printf("%8d %10ld %6d\n", done, residentKiB(panelPid), descriptors(pid));
        if (done == lines / 2) {
            halfKiB = residentKiB(panelPid);
            halfMs = clock.elapsed();
        }
    }
    const qint64 ms = clock.elapsed();
    const long endKiB = residentKiB(panelPid);
    const int endFds = descriptors(pid);
    const double rate = double(lines) / (double(ms) / 1000.0);
    const double secondHalfS = double(ms - halfMs) / 1000.0;
    const double perDayMiB = double(endKiB - halfKiB) / 1024.0 / secondHalfS * 86400.0;
    std::printf("%d lines in %.1f s (%.0f lines/s); RSS %ld -> %ld KiB, fds %d -> %d\n", lines,
                double(ms) / 1000.0, rate, startKiB, endKiB, startFds, endFds);
    std::printf("second half: %+ld KiB in %.1f s, %.1f MiB per 24 h at this rate\n",
                endKiB - halfKiB, secondHalfS, perDayMiB);
    panel.terminate(); // SIGTERM: the File > Exit path
    if (!panel.waitForFinished(3000)) {
        std::fprintf(stderr, "bench_soak: pg5400 did not end on SIGTERM\n");
        panel.kill();
        return 1;
    }
    std::printf("SIGTERM: exit status %d\n", panel.exitCode());
    return 0;
}
