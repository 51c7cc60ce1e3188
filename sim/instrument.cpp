#include "sim/instrument.h"

#include "sim/number_text.h"

#include <optional>

namespace sim {

namespace {

const std::string kOk = "ok";
const std::string kEmptyLine = "? empty line";
const std::string kUnknownHeader = "? unknown header";
const std::string kBadArgument = "? bad argument";
const std::string kOutOfRange = "? out of range";
const std::string kMissingArgument = "? missing argument";
const std::string kNoOutput = "? no output on this channel";
const std::string kQueryOnly = "? query only";
const std::string kNotAQuery = "? not a query";

std::optional<bool> parseSwitch(const std::string& arg) {
    if (arg == "1" || arg == "ON")
        return true;
    if (arg == "0" || arg == "OFF")
        return false;
    return std::nullopt;
}

std::string flag(bool on) {
    return on ? "1" : "0";
}

Instrument::Clock steadyClock() {
    return [] { return std::chrono::steady_clock::now().time_since_epoch(); };
}

} // namespace

Instrument::Instrument(Options options, Clock clock)
    : options_(std::move(options)), info_(sim::modelInfo(options_.model)),
      clock_(clock ? std::move(clock) : steadyClock()) {
    const Settings defaults = powerUpSettings(info_, options_);
    bins_.fill(defaults);
    reset();
}

void Instrument::reset() {
    settings_ = powerUpSettings(info_, options_);
    applied_ = settings_;
    heldPeriod_.reset();
    running_ = false;
    usbEcho_ = true;
    blueEcho_ = true;
    counters_ = Counters();
    counters_.restart(clock_());
}

std::vector<std::string> Instrument::settingHeaders() const {
    return sim::settingHeaders(info_, options_);
}

bool Instrument::echo() const {
    return options_.interface == Interface::Usb ? usbEcho_ : blueEcho_;
}

void Instrument::setExternalTriggerPeriod(double seconds) {
    advanceCounters();
    periodReading(); // a held measurement keeps the period it was taken at
    const Timing before = timing();
    options_.externalTriggerPeriod = seconds;
    if (!(timing() == before))
        counters_.restart(clock_());
}

std::string Instrument::handleLine(const std::string& line) {
    if (line.empty())
        return kEmptyLine;
    // Exactly one blank separates header and argument; anything else is a bad argument.
    const auto blank = line.find(' ');
    std::string header = line.substr(0, blank);
    std::optional<std::string> arg;
    if (blank != std::string::npos)
        arg = line.substr(blank + 1);
    const bool query = !header.empty() && header.back() == '?';
    if (query)
        header.pop_back();
    if (header.empty())
        return kUnknownHeader;
    if (arg && (arg->empty() || query))
        return kBadArgument;

    advanceCounters();
    const Timing before = timing();
    std::string reply = dispatch(header, arg ? &*arg : nullptr, query);
    if (!query && autoUpdate())
        applied_ = settings_;
    if (!(timing() == before))
        counters_.restart(clock_());
    return reply;
}

std::string Instrument::dispatch(const std::string& header, const std::string* arg, bool query) {
    if (header.front() == '*')
        return common(header, arg, query);
    bool handled = false;
    std::string reply = special(header, arg, query, handled);
    return handled ? reply : setting(header, arg, query);
}

std::string Instrument::common(const std::string& header, const std::string* arg, bool query) {
    if (header == "*IDN" || header == "*ERS") {
        if (!query)
            return kQueryOnly;
        if (header == "*ERS")
            return std::to_string(options_.errorCode);
        return options_.manufacturer + "," + options_.model + "," + options_.serial + "," +
               options_.firmware + "-" + options_.fpga;
    }
    if (header == "*SAV" || header == "*RCL") {
        if (query)
            return kNotAQuery;
        if (!arg)
            return kMissingArgument;
        const auto bin = text::parseCount(*arg);
        if (!bin)
            return kBadArgument;
        const std::uint64_t first = header == "*SAV" ? 1 : 0;
        if (*bin < first || *bin > 6)
            return kOutOfRange;
        if (header == "*SAV")
            bins_[*bin] = settings_;
        else
            settings_ = *bin == 0 ? powerUpSettings(info_, options_) : bins_[*bin];
        return kOk;
    }
    return kUnknownHeader;
}

// Headers that are not stored settings: run state, echo, counters and actions.
std::string Instrument::special(const std::string& header, const std::string* arg, bool query,
                                bool& handled) {
    handled = true;
    bool* echoFlag = header == ":SYST:COMM:USB:ECH"    ? &usbEcho_
                     : header == ":SYST:COMM:BLUE:ECH" ? &blueEcho_
                                                       : nullptr;
    if (header == ":PULS0:STAT" || echoFlag) {
        bool& state = echoFlag ? *echoFlag : running_;
        if (query)
            return flag(state);
        if (!arg)
            return kMissingArgument;
        const auto on = parseSwitch(*arg);
        if (!on)
            return kBadArgument;
        state = *on;
        return kOk;
    }

    const bool counterQuery = header == ":PULS0:EXTP:PER" || header == ":PULS0:COUN:COUN";
    const bool action =
        header == ":PULS0:EXTP:CL" || header == ":PULS0:COUN:CL" || header == ":SYST:UPD:EX";
    if (!counterQuery && !action) {
        handled = false;
        return {};
    }
    if (!info_.extended())
        return kUnknownHeader;
    if (counterQuery) {
        if (!query)
            return kQueryOnly;
        if (header == ":PULS0:COUN:COUN")
            return text::count(counters_.shots());
        return number(periodReading());
    }
    if (query)
        return kNotAQuery;
    if (arg)
        return kBadArgument;
    if (header == ":PULS0:EXTP:CL") {
        counters_.clearPeriods();
        heldPeriod_.reset();
    } else if (header == ":PULS0:COUN:CL") {
        counters_.clearShots();
    } else {
        applied_ = settings_; // ":SYST:UPD:EX"
    }
    return kOk;
}

std::string Instrument::setting(const std::string& header, const std::string* arg, bool query) {
    // ":PULS" and one digit address T0 (0) or a channel.
    int channel = 0;
    std::string name = header;
    if (header.rfind(":PULS", 0) == 0) {
        if (header.size() < 8 || header[5] < '0' || header[5] > '9' || header[6] != ':')
            return kUnknownHeader;
        channel = header[5] - '0';
        if (channel > 0)
            name = header.substr(6);
    }
    const Param* p = channel == 0 ? findSystemParam(name) : findChannelParam(name);
    if (!p || channel > info_.channelCount)
        return kUnknownHeader;
    if (!available(*p, info_, options_, channel)) {
        const bool outputHeader =
            p->needs == Needs::Output || (p->needs == Needs::MuxGate && options_.muxGate);
        return outputHeader ? kNoOutput : kUnknownHeader;
    }
    const std::string key = settingKey(*p, channel);
    if (query)
        return formatValue(*p, settings_.at(key), options_.numberForm);
    if (!arg)
        return kMissingArgument;
    ArgError error = ArgError::None;
    auto v = parseArgument(*p, *arg, info_, channel, error);
    if (!v)
        return error == ArgError::Range ? kOutOfRange : kBadArgument;
    settings_[key] = std::move(*v);
    return kOk;
}

std::string Instrument::number(double seconds) const {
    return options_.numberForm == NumberForm::Exponent ? text::exponent(seconds, 12)
                                                       : text::fixed(seconds, 12);
}

const Value& Instrument::value(const std::string& key) const {
    return applied_.at(key);
}

std::uint64_t Instrument::countValue(const std::string& key) const {
    return std::get<std::uint64_t>(value(key));
}

const std::string& Instrument::word(const std::string& key) const {
    return std::get<std::string>(value(key));
}

bool Instrument::triggered() const {
    const std::string& ext = word(":PULS0:EXT:MODE");
    return ext == "TRIG" || ext == "REARM";
}

bool Instrument::autoUpdate() const {
    // Models without the plus features apply every change at once.
    const auto it = settings_.find(":SYST:UPD:AUTO");
    return it == settings_.end() || std::get<std::uint64_t>(it->second) != 0;
}

double Instrument::periodReading() {
    // A measurement exists once enough trigger periods were counted.
    const bool measured = info_.extended() && countValue(":PULS0:EXTP:STAT") == 1 && triggered() &&
                          counters_.periods() >= countValue(":PULS0:EXTP:NCOU");
    if (!measured) {
        heldPeriod_.reset();
        return 0.0;
    }
    if (countValue(":PULS0:EXTP:AUT") == 1)
        return options_.externalTriggerPeriod;
    if (!heldPeriod_)
        heldPeriod_ = options_.externalTriggerPeriod;
    return *heldPeriod_;
}

Timing Instrument::timing() const {
    Timing t;
    t.running = running_;
    t.tick = triggered() ? options_.externalTriggerPeriod : std::get<double>(value(":PULS0:PER"));
    t.mode = word(":PULS0:MOD");
    t.burst = countValue(":PULS0:BCO");
    t.dutyOn = countValue(":PULS0:PCO");
    t.dutyOff = countValue(":PULS0:OCO");
    t.cycles = info_.extended() ? countValue(":PULS0:CCO") : 0;
    return t;
}

void Instrument::advanceCounters() {
    if (!info_.extended())
        return;
    bool countShots = countValue(":PULS0:COUN:STAT") == 1;
    const std::string& source = word(":PULS0:COUN:SOUR");
    if (countShots && source != "T0") // a disabled channel gives no pulses to count
        countShots = countValue(":PULS" + std::to_string(source[2] - 'A' + 1) + ":STAT") == 1;
    const bool countPeriods = countValue(":PULS0:EXTP:STAT") == 1 && triggered();
    counters_.advance(clock_(), timing(), countShots, countPeriods);
}

} // namespace sim
