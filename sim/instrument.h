#pragma once

#include "sim/counters.h"
#include "sim/model.h"
#include "sim/options.h"
#include "sim/params.h"

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The instrument's side of the command language as a state machine without
// I/O: one line in (without its line end), one reply out (without CR LF).
// Set and action lines are answered "ok"; errors are answered with a text that
// starts with "?".
class Instrument {
public:
    // Monotonic time; the counters advance with it while the outputs run.
    using Clock = std::function<std::chrono::nanoseconds()>;

    explicit Instrument(Options options = {}, Clock clock = {});

    std::string handleLine(const std::string& line);

    // Back to the power-up state: default settings, outputs stopped, counters
    // cleared, echo on. The storage bins keep their contents.
    void reset();

    const Options& options() const { return options_; }
    const ModelInfo& modelInfo() const { return info_; }
    // Canonical headers of every setting this model stores (":PULS0:EXT:MODE" form).
    std::vector<std::string> settingHeaders() const;

    bool echo() const; // character echo on the configured interface
    bool running() const { return running_; }
    int errorCode() const { return options_.errorCode; }
    void setErrorCode(int code) { options_.errorCode = code; }
    void setExternalTriggerPeriod(double seconds);
    // Under synchronous update, settings received but not yet put into effect
    // by ":SYST:UPD:EX"; queries answer with them all the same.
    bool changesPending() const { return settings_ != applied_; }

private:
    std::string dispatch(const std::string& header, const std::string* arg, bool query);
    std::string common(const std::string& header, const std::string* arg, bool query);
    std::string special(const std::string& header, const std::string* arg, bool query,
                        bool& handled);
    std::string setting(const std::string& header, const std::string* arg, bool query);
    std::string number(double seconds) const;

    bool triggered() const; // T0 waits for the external trigger
    bool autoUpdate() const;
    // The period counter's reading: with auto update the present trigger
    // period, without it the first measurement, held until cleared.
    double periodReading();
    Timing timing() const;
    void advanceCounters();
    const Value& value(const std::string& key) const;
    std::uint64_t countValue(const std::string& key) const;
    const std::string& word(const std::string& key) const;

    Options options_;
    ModelInfo info_;
    Clock clock_;
    Settings settings_; // as received and queried
    Settings applied_;  // in effect on the outputs and counters
    std::optional<double> heldPeriod_;
    std::array<Settings, 7> bins_; // index 1..6; 0 stands for the power-up defaults
    bool running_ = false;
    bool usbEcho_ = true;
    bool blueEcho_ = true;
    Counters counters_;
};

} // namespace sim
