// What the panel costs while nobody touches it: CPU time and wake-ups per
// second of the whole process (every thread), measured from /proc.
//
//   bench_idle [seconds] [platform]
//
// Starts pg5400-sim, then on its pseudo-terminal the pg5400 program, and
// this program's own panel twice, once with the status poll and once with
// the poll stopped after the first read-back; each runs in a process of its
// own, settles, and is sampled for the given time (default 10 s). Platform is
// the Qt platform plugin for the panels (default offscreen; "xcb" needs a
// display). The goal is at most 0.5 % of one core and at most 10 wake-ups per
// second with the poll running.
#include "panel/main_form.h"
#include "serial/port_table.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

struct Sample {
    double cpuSeconds = 0;           // user + system time of all threads
    unsigned long long switches = 0; // voluntary + involuntary, all threads
};

bool sample(qint64 pid, Sample& s) {
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    QFile stat(proc + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // The fields after the command name's closing parenthesis; utime and
    // stime are the 14th and 15th of the whole line.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13)
        return false;
    const double tick = double(sysconf(_SC_CLK_TCK));
    s.cpuSeconds = (f.at(11).toDouble() + f.at(12).toDouble()) / tick;
    s.switches = 0;
    const QStringList tasks =
        QDir(proc + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile status(proc + QStringLiteral("/task/") + task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& l : status.readAll().split('\n'))
            if (l.contains("ctxt_switches:"))
                s.switches += l.mid(l.indexOf(':') + 1).trimmed().toULongLong();
    }
    return true;
}

void measure(const char* label, QProcess& panel, double seconds) {
    panel.waitForStarted();
    QThread::msleep(4000); // start-up, scan and first read-back
    Sample a, b;
    if (panel.state() != QProcess::Running || !sample(panel.processId(), a)) {
        std::printf("%-22s panel did not start: %s\n", label,
                    panel.readAllStandardError().constData());
        return;
    }
    QThread::usleep(qint64(seconds * 1e6));
    if (!sample(panel.processId(), b)) {
        std::printf("%-22s panel ended during the sample\n", label);
        return;
    }
    std::printf("%-22s CPU %5.2f %% of a core, %6.1f wake-ups/s\n", label,
                100.0 * (b.cpuSeconds - a.cpuSeconds) / seconds,
                double(b.switches - a.switches) / seconds);
}

void stop(QProcess& p) {
    p.terminate();
    if (!p.waitForFinished(3000))
        p.kill();
    p.waitForFinished(1000);
}

} // namespace

// The panel as pg5400 runs it, on the given device, optionally without poll.
int runPanel(int argc, char** argv, const QString& device, bool poll) {
    QApplication app(argc, argv);
    serialport::SetPortTableOverride({device});
    TMainForm form;
    if (!form.FormCreate({}))
        return 1;
    form.show();
    if (!poll) {
        auto* stopper = new QTimer(&form);
        QObject::connect(stopper, &QTimer::timeout, &form, [&form, stopper] {
            if (form.LaunchTimer->isActive() || form.Busy())
                return;
            form.StatusTimer->stop();
            stopper->stop();
        });
        stopper->start(100);
    }
    return app.exec();
}

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "--panel") == 0)
        return runPanel(argc, argv, QString::fromLocal8Bit(argv[2]), argc < 4);
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 10.0;
    const QString platform =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("offscreen");
    const QString bin = QCoreApplication::applicationDirPath();

    QProcess sim;
    sim.start(bin + QStringLiteral("/pg5400-sim"), {});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_idle: pg5400-sim did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("PG5400_PORTS"), device);
    QProcess panel;
    panel.setProcessEnvironment(env);
    panel.setWorkingDirectory(QDir::tempPath());
    panel.start(bin + QStringLiteral("/pg5400"), {});
    measure("pg5400, poll", panel, seconds);
    stop(panel);
    const QString self = QCoreApplication::applicationFilePath();
    panel.start(self, {QStringLiteral("--panel"), device});
    measure("panel, poll", panel, seconds);
    stop(panel);
    panel.start(self, {QStringLiteral("--panel"), device, QStringLiteral("--no-poll")});
    measure("panel, no poll", panel, seconds);
    stop(panel);
    stop(sim);
    return 0;
}
