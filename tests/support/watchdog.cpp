#include "tests/support/watchdog.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

// The GUI thread stamps this from a timer; the watch thread reads it.
std::atomic<Clock::rep> lastBeat{0};

struct Watch {
    std::mutex mutex;
    std::vector<std::string> waits; // one per live StallWatch, innermost last
    bool running = false;
    QPointer<QTimer> beat;
};

Watch& watch() {
    static Watch* w = new Watch; // outlives every static destructor
    return *w;
}

void stamp() {
    lastBeat.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
}

[[noreturn]] void fail(const std::string& what, int seconds) {
    const char* test = QTest::currentTestFunction();
    std::fprintf(stderr,
                 "FAIL!  : watchdog: the GUI thread has been outside its event loop for %d s "
                 "(test %s, waiting for %s); ending the test\n",
                 seconds, test ? test : "(none)", what.c_str());
    std::fflush(stderr);
    std::_Exit(70);
}

void run() {
    Watch& w = watch();
    const auto limit = std::chrono::seconds(StallLimitSeconds());
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::lock_guard lock(w.mutex);
        if (w.waits.empty())
            continue;
        const Clock::time_point beat{Clock::duration{lastBeat.load(std::memory_order_relaxed)}};
        if (Clock::now() - beat > limit)
            fail(w.waits.back(), StallLimitSeconds());
    }
}

} // namespace

int StallLimitSeconds() {
    static const int seconds = [] {
        bool ok = false;
        const int s = qEnvironmentVariableIntValue("PG_WATCHDOG_SECONDS", &ok);
        return ok && s > 0 ? s : 30;
    }();
    return seconds;
}

StallWatch::StallWatch(std::string what) {
    Watch& w = watch();
    if (!w.beat) {
        w.beat = new QTimer(QCoreApplication::instance());
        w.beat->setInterval(100);
        QObject::connect(w.beat, &QTimer::timeout, stamp);
    }
    w.beat->start();
    stamp();
    std::lock_guard lock(w.mutex);
    w.waits.push_back(std::move(what));
    if (!w.running) {
        w.running = true;
        std::thread(run).detach();
    }
}

StallWatch::~StallWatch() {
    Watch& w = watch();
    std::lock_guard lock(w.mutex);
    if (!w.waits.empty())
        w.waits.pop_back();
    if (w.waits.empty() && w.beat)
        w.beat->stop();
}

WaitingFor::WaitingFor(std::string what) {
    Watch& w = watch();
    std::lock_guard lock(w.mutex);
    if (w.waits.empty())
        return;
    previous_ = std::exchange(w.waits.back(), std::move(what));
}

WaitingFor::~WaitingFor() {
    Watch& w = watch();
    std::lock_guard lock(w.mutex);
    if (!w.waits.empty() && !previous_.empty())
        w.waits.back() = std::move(previous_);
}

} // namespace testsupport
