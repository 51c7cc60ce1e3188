#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

struct TranscriptEntry {
    std::size_t number = 0; // 1-based count of lines received since the server started
    std::chrono::steady_clock::time_point received;
    std::string line;   // without its line end
    std::string ending; // the line end as received: "\r\n", "\r" or "\n" (empty if cut off)
    bool replied = false;
    std::string reply; // the reply text as sent, without CR LF
};

// Every received line with its time stamp, in memory and optionally in a file
// ("<seconds> > <line>" and "<seconds> < <reply>", seconds since the start,
// control bytes as \xHH). Thread-safe.
class Transcript {
public:
    Transcript();

    bool openFile(const std::string& path, std::string& error);
    // Keeps only the newest `entries` in memory; 0 keeps all.
    void setLimit(std::size_t entries);

    std::size_t addLine(std::string line, std::string ending);
    void setReply(std::size_t number, const std::string& reply);

    std::vector<TranscriptEntry> entries() const;
    std::vector<std::string> lines() const;
    std::size_t received() const; // lines since the start, clear() included
    // Waits until the kept entries number at least n; false on time-out.
    bool waitForLines(std::size_t n, std::chrono::milliseconds timeout) const;
    void clear(); // drops the kept entries; numbering goes on

private:
    void writeFile(std::chrono::steady_clock::time_point at, char direction,
                   const std::string& text);

    const std::chrono::steady_clock::time_point origin_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<TranscriptEntry> entries_;
    std::size_t limit_ = 0;
    std::size_t received_ = 0;
    std::ofstream file_;
};

} // namespace sim
