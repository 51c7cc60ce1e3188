#pragma once

#include "serial/pty_pair.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// The far end of a serial link for tests: a pseudo-terminal whose master side
// runs on its own thread, records every byte the code under test writes, and
// answers each complete line (ended by LF) through a scripted responder.
class PtyPeer {
public:
    using Responder = std::function<std::optional<std::string>(const std::string& line)>;

    PtyPeer();
    ~PtyPeer();

    bool ok() const { return pair_.ok(); }
    std::string path() const { return pair_.slavePath(); }

    // Reply per received line (without its CR LF); nullopt stays silent.
    void setResponder(Responder r);
    // Replies go out in pieces of `bytes` with `gap` between them.
    void setTrickle(size_t bytes, std::chrono::milliseconds gap);
    // Each reply waits this long before its first byte.
    void setDelay(std::chrono::milliseconds delay);

    void send(const std::string& bytes);
    std::string received() const;           // every byte written to us so far
    std::vector<std::string> lines() const; // received lines without CR LF
    void clear();
    // Waits until at least n lines have arrived; false on time-out.
    bool waitForLines(size_t n, std::chrono::milliseconds timeout) const;

    // Ends the thread and closes the pseudo-terminal: the device disappears.
    void disconnect();

private:
    void run();
    void writeAll(const std::string& bytes);

    pty::PtyPair pair_;
    mutable std::mutex mutex_;
    Responder responder_;
    std::string received_;
    std::string pending_;
    std::vector<std::string> lines_;
    size_t trickleBytes_ = 0;
    std::chrono::milliseconds trickleGap_{0};
    std::chrono::milliseconds delay_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace testsupport
