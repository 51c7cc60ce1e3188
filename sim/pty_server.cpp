#include "sim/pty_server.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::size_t kMaxLine = 4096; // longer input is answered as a line of its own
constexpr int kLineFeedGraceMs = 20;   // how long a CR waits for the LF of a CR LF
constexpr auto kWriteStall = std::chrono::seconds(2); // a reader this slow is gone
constexpr auto kDisconnectLinger = std::chrono::milliseconds(200);
const std::string kGarbage = "\xFE\x15#~%\x7F&\x80";

timespec toTimespec(std::chrono::nanoseconds d) {
    if (d.count() < 0)
        d = {};
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(d.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(d.count() % 1000000000);
    return ts;
}

} // namespace

PtyServer::PtyServer(ServerOptions options)
    : pair_(std::make_unique<pty::PtyPair>()), transcriptPath_(std::move(options.transcriptPath)),
      instrument_(std::move(options.instrument)), faults_(std::move(options.faults)) {
    transcript_.setLimit(options.keptEntries);
    created_ = pair_->ok();
    if (!created_) {
        error_ = pair_->error();
        connected_ = false;
        return;
    }
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0)
        error_ = std::string("cannot create wake-up pipe: ") + std::strerror(errno);
}

PtyServer::~PtyServer() {
    stop();
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

bool PtyServer::start() {
    if (!ok() || !connected_)
        return false;
    if (thread_.joinable())
        return !finished_;
    if (!transcriptPath_.empty()) {
        std::string error;
        if (!transcript_.openFile(transcriptPath_, error)) {
            error_ = error;
            return false;
        }
        transcriptPath_.clear(); // a restart keeps appending to the open file
    }
    stop_ = false;
    finished_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void PtyServer::stop() {
    if (!thread_.joinable())
        return;
    stop_ = true;
    const char x = 'x';
    [[maybe_unused]] const auto n = ::write(wake_[1], &x, 1);
    thread_.join();
    char drain[16];
    while (::read(wake_[0], drain, sizeof drain) > 0) {
    }
}

void PtyServer::disconnect() {
    stop();
    pair_->close();
    connected_ = false;
}

bool PtyServer::replug() {
    disconnect();
    auto pair = std::make_unique<pty::PtyPair>();
    if (!pair->ok())
        return false;
    pair_ = std::move(pair);
    connected_ = true;
    disconnecting_ = false;
    return start();
}

Faults PtyServer::faults() const {
    std::lock_guard lock(faultsMutex_);
    return faults_;
}

void PtyServer::setFaults(const Faults& faults) {
    std::lock_guard lock(faultsMutex_);
    faults_ = faults;
}

void PtyServer::setErrorCode(int code) {
    std::lock_guard lock(instrumentMutex_);
    instrument_.setErrorCode(code);
}

void PtyServer::setInstrumentOptions(const Options& options) {
    std::lock_guard lock(instrumentMutex_);
    instrument_ = Instrument(options);
}

bool PtyServer::echoOn() {
    std::lock_guard lock(instrumentMutex_);
    return instrument_.echo();
}

void PtyServer::run() {
    // An instrument keeps its byte and turnaround times; the kernel's default
    // 50 us of timer slack on every paced byte would not.
    prctl(PR_SET_TIMERSLACK, 1000UL);
    std::string line;
    while (!stop_ && !disconnecting_) {
        if (!readInput(-1))
            continue;
        bool echoing = echoOn();
        std::string echo;
        std::size_t pos = 0;
        while (pos < inbox_.size() && !stop_ && !disconnecting_) {
            const char c = inbox_[pos++];
            if (c != '\r' && c != '\n') {
                if (echoing)
                    echo += c;
                line += c;
                if (line.size() < kMaxLine)
                    continue;
                writeOut(echo);
                echo.clear();
                answer(line, "");
                line.clear();
                echoing = echoOn();
                continue;
            }
            std::string ending(1, c);
            if (c == '\r') {
                if (pos == inbox_.size())
                    readInput(kLineFeedGraceMs);
                if (pos < inbox_.size() && inbox_[pos] == '\n') {
                    ending += '\n';
                    ++pos;
                }
            }
            if (echoing)
                echo += ending;
            writeOut(echo);
            echo.clear();
            answer(line, ending);
            line.clear();
            echoing = echoOn(); // the line may have switched the echo off
        }
        writeOut(echo);
        inbox_.erase(0, pos);
    }
    if (disconnecting_) {
        pair_->close();
        connected_ = false;
    }
    finished_ = true;
}

// Waits for input (or the wake-up of stop()) and appends it to the inbox.
bool PtyServer::readInput(int timeoutMs) {
    pollfd fds[2] = {{pair_->masterFd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int r = ::poll(fds, 2, timeoutMs);
    if (r <= 0 || (fds[1].revents & POLLIN))
        return false;
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
        return false;
    char buf[4096];
    const ssize_t n = ::read(pair_->masterFd(), buf, sizeof buf);
    if (n > 0) {
        inbox_.append(buf, std::size_t(n));
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return false;
    // The master side failed: nothing more can be served.
    disconnecting_ = true;
    return false;
}

void PtyServer::answer(const std::string& line, const std::string& ending) {
    // Faults are taken before the line is listed, so a test that sees the line
    // may change them without touching this one.
    const Faults f = faults();
    const std::size_t number = transcript_.addLine(line, ending);
    std::string reply;
    {
        std::lock_guard lock(instrumentMutex_);
        reply = instrument_.handleLine(line);
    }
    if (const auto it = f.replyFor.find(line); it != f.replyFor.end())
        reply = it->second;
    const ReplyFault fault = f.faultFor(number);
    auto wait = std::chrono::nanoseconds(f.turnaround + f.replyDelay);
    if (fault == ReplyFault::Late)
        wait += f.lateBy;
    if (!pause(wait))
        return;
    switch (fault) {
    case ReplyFault::None:
    case ReplyFault::Late:
        writeOut(reply + "\r\n");
        transcript_.setReply(number, reply);
        break;
    case ReplyFault::Garbage:
        writeOut(kGarbage + "\r\n");
        transcript_.setReply(number, kGarbage);
        break;
    case ReplyFault::NoCr:
        writeOut(reply + "\n");
        transcript_.setReply(number, reply);
        break;
    case ReplyFault::NoReply:
        break;
    }
    if (f.disconnectAfter > 0 && number >= f.disconnectAfter) {
        // A hang-up flushes what the reader has not taken yet: give the last reply a moment.
        pause(kDisconnectLinger);
        disconnecting_ = true;
    }
}

// Writes echo or reply bytes, one at a time at the configured baud rate when pacing.
void PtyServer::writeOut(const std::string& bytes) {
    if (bytes.empty())
        return;
    const unsigned baud = faults().baud;
    if (baud == 0) {
        writeAll(bytes.data(), bytes.size());
        return;
    }
    // Ten bit times per byte: start bit, eight data bits, stop bit.
    const auto perByte = std::chrono::nanoseconds(10'000'000'000LL / baud);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto due = start + perByte * std::int64_t(i + 1);
        if (!pause(due - std::chrono::steady_clock::now()))
            return;
        if (!writeAll(bytes.data() + i, 1))
            return;
    }
}

bool PtyServer::writeAll(const char* data, std::size_t size) {
    auto lastProgress = std::chrono::steady_clock::now();
    while (size > 0 && !stop_) {
        const ssize_t n = ::write(pair_->masterFd(), data, size);
        if (n > 0) {
            data += n;
            size -= std::size_t(n);
            lastProgress = std::chrono::steady_clock::now();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() - lastProgress > kWriteStall)
            return false; // nobody reads the device: drop the rest
        pollfd fds[2] = {{pair_->masterFd(), POLLOUT, 0}, {wake_[0], POLLIN, 0}};
        ::poll(fds, 2, 50);
    }
    return size == 0;
}

// Sleeps, but returns false at once when stop() is called.
bool PtyServer::pause(std::chrono::nanoseconds duration) {
    if (duration.count() <= 0)
        return !stop_;
    pollfd fd{wake_[0], POLLIN, 0};
    const timespec ts = toTimespec(duration);
    ::ppoll(&fd, 1, &ts, nullptr);
    return !stop_;
}

} // namespace sim
