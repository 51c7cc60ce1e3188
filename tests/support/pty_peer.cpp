#include "tests/support/pty_peer.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace testsupport {

PtyPeer::PtyPeer() {
    if (pair_.ok())
        thread_ = std::thread([this] { run(); });
}

PtyPeer::~PtyPeer() {
    disconnect();
}

void PtyPeer::setResponder(Responder r) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(r);
}

void PtyPeer::setTrickle(size_t bytes, std::chrono::milliseconds gap) {
    std::lock_guard lock(mutex_);
    trickleBytes_ = bytes;
    trickleGap_ = gap;
}

void PtyPeer::setDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delay_ = delay;
}

void PtyPeer::send(const std::string& bytes) {
    writeAll(bytes);
}

std::string PtyPeer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> PtyPeer::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

void PtyPeer::clear() {
    std::lock_guard lock(mutex_);
    received_.clear();
    lines_.clear();
}

bool PtyPeer::waitForLines(size_t n, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(mutex_);
            if (lines_.size() >= n)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

void PtyPeer::disconnect() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    pair_.close();
}

void PtyPeer::writeAll(const std::string& bytes) {
    size_t chunk;
    std::chrono::milliseconds gap;
    {
        std::lock_guard lock(mutex_);
        chunk = trickleBytes_ ? trickleBytes_ : bytes.size();
        gap = trickleGap_;
    }
    for (size_t pos = 0; pos < bytes.size() && pair_.ok();) {
        const size_t n = std::min(chunk, bytes.size() - pos);
        const ssize_t w = ::write(pair_.masterFd(), bytes.data() + pos, n);
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (w > 0)
            pos += size_t(w);
        if (pos < bytes.size())
            std::this_thread::sleep_for(w > 0 ? gap : std::chrono::milliseconds(1));
    }
}

void PtyPeer::run() {
    char buf[512];
    while (!stop_) {
        pollfd p{pair_.masterFd(), POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(pair_.masterFd(), buf, sizeof buf);
        if (n <= 0)
            continue;
        std::vector<std::string> complete;
        Responder responder;
        std::chrono::milliseconds delay;
        {
            std::lock_guard lock(mutex_);
            received_.append(buf, size_t(n));
            pending_.append(buf, size_t(n));
            size_t lf;
            while ((lf = pending_.find('\n')) != std::string::npos) {
                std::string line = pending_.substr(0, lf);
                pending_.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                lines_.push_back(line);
                complete.push_back(line);
            }
            responder = responder_;
            delay = delay_;
        }
        for (const auto& line : complete) {
            if (!responder)
                continue;
            if (auto reply = responder(line)) {
                std::this_thread::sleep_for(delay);
                writeAll(*reply);
            }
        }
    }
}

} // namespace testsupport
