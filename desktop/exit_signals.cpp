#include "desktop/exit_signals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace pg5400 {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int pipeFds[2] = {-1, -1};
volatile sig_atomic_t received = 0;

// Only async-signal-safe calls here.
void handleSignal(int signal) {
    if (received != 0 && signal == SIGINT)
        ::_exit(128 + SIGINT);
    received = signal;
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

ExitSignals::ExitSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (pipeFds[0] >= 0 || ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    received = 0;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ExitSignals::serveWaiting);
    struct sigaction action {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

ExitSignals::~ExitSignals() {
    if (!notifier_)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void ExitSignals::serveWaiting() {
    char bytes[16];
    ssize_t n;
    int last = 0;
    while ((n = ::read(pipeFds[0], bytes, sizeof bytes)) > 0)
        last = bytes[n - 1];
    if (last != 0 && onSignal_)
        onSignal_(last);
}

void IgnoreBrokenOutputSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace pg5400
