#pragma once

#include "serial/pty_pair.h"
#include "sim/faults.h"
#include "sim/instrument.h"
#include "sim/options.h"
#include "sim/transcript.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct ServerOptions {
    Options instrument;
    Faults faults;
    std::string transcriptPath; // empty: the transcript stays in memory only
    // Entries kept in memory, the newest; 0 keeps all (tests read them back).
    // A server that runs for days keeps a few.
    std::size_t keptEntries = 0;
};

// Serves an Instrument on a new pseudo-terminal from a thread of its own. The
// panel opens devicePath() like a serial port. Every received line (ended by
// CR, LF or CR LF) is answered with the reply and CR LF; while the instrument's
// echo is on, the received bytes are sent back as they arrive, ahead of the reply.
class PtyServer {
public:
    explicit PtyServer(ServerOptions options = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    bool ok() const { return created_ && error_.empty(); }
    const std::string& error() const { return error_; }
    // Changes when the device is plugged in again; not while serving.
    std::string devicePath() const { return pair_->slavePath(); }

    // Starts serving; false when the pseudo-terminal or the transcript file failed.
    bool start();
    // Ends the serving thread; the device stays and queues what is written to it.
    void stop();
    // Ends the thread and removes the device, like an unplugged instrument.
    void disconnect();
    // Unplugged and plugged in again: a new device (another path) for the
    // same instrument, which keeps its settings and transcript.
    bool replug();
    bool serving() const { return thread_.joinable() && !finished_; }
    bool connected() const { return connected_; }

    Faults faults() const;
    void setFaults(const Faults& faults);
    void setErrorCode(int code);
    // Replaces the instrument by a new one at power-up (for example another model).
    void setInstrumentOptions(const Options& options);
    // Runs f(Instrument&) while the serving thread is kept away from the instrument.
    template <typename F> decltype(auto) withInstrument(F&& f) {
        std::lock_guard lock(instrumentMutex_);
        return f(instrument_);
    }

    Transcript& transcript() { return transcript_; }
    const Transcript& transcript() const { return transcript_; }
    std::vector<std::string> lines() const { return transcript_.lines(); }
    bool waitForLines(std::size_t n, std::chrono::milliseconds timeout) const {
        return transcript_.waitForLines(n, timeout);
    }

private:
    void run();
    bool readInput(int timeoutMs);
    void answer(const std::string& line, const std::string& ending);
    void writeOut(const std::string& bytes);
    bool writeAll(const char* data, std::size_t size);
    bool pause(std::chrono::nanoseconds duration);
    bool echoOn();

    // The serving thread closes it when a fault disconnects.
    std::unique_ptr<pty::PtyPair> pair_;
    bool created_ = false;
    std::string error_;
    std::string transcriptPath_;
    Transcript transcript_;

    std::mutex instrumentMutex_;
    Instrument instrument_;
    mutable std::mutex faultsMutex_;
    Faults faults_;

    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> connected_{true};
    bool disconnecting_ = false; // serving thread only
    std::string inbox_;          // serving thread only
    std::thread thread_;
};

} // namespace sim
