#include "sim/transcript.h"

#include <cstdio>

namespace sim {

namespace {

std::string printable(const std::string& s) {
    std::string out;
    for (const unsigned char c : s) {
        if (c < 0x20 || c >= 0x7f || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
}

} // namespace

Transcript::Transcript() : origin_(std::chrono::steady_clock::now()) {}

bool Transcript::openFile(const std::string& path, std::string& error) {
    std::lock_guard lock(mutex_);
    file_.open(path, std::ios::out | std::ios::trunc);
    if (!file_) {
        error = "cannot write transcript file " + path;
        return false;
    }
    return true;
}

void Transcript::setLimit(std::size_t entries) {
    std::lock_guard lock(mutex_);
    limit_ = entries;
}

std::size_t Transcript::addLine(std::string line, std::string ending) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    TranscriptEntry e;
    e.number = ++received_;
    e.received = now;
    e.line = std::move(line);
    e.ending = std::move(ending);
    writeFile(now, '>', e.line + e.ending);
    entries_.push_back(std::move(e));
    while (limit_ > 0 && entries_.size() > limit_)
        entries_.pop_front();
    changed_.notify_all();
    return received_;
}

void Transcript::setReply(std::size_t number, const std::string& reply) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    writeFile(now, '<', reply);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->number == number) {
            it->replied = true;
            it->reply = reply;
            break;
        }
    }
}

std::vector<TranscriptEntry> Transcript::entries() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

std::vector<std::string> Transcript::lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_)
        out.push_back(e.line);
    return out;
}

std::size_t Transcript::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool Transcript::waitForLines(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return entries_.size() >= n; });
}

void Transcript::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

// Integer arithmetic keeps the time stamp free of the process locale.
void Transcript::writeFile(std::chrono::steady_clock::time_point at, char direction,
                           const std::string& text) {
    if (!file_.is_open())
        return;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(at - origin_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%lld.%06lld", static_cast<long long>(us / 1000000),
                  static_cast<long long>(us % 1000000));
    file_ << stamp << ' ' << direction << ' ' << printable(text) << '\n';
    file_.flush();
}

} // namespace sim
