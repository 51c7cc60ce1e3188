#include "sim/params.h"

#include "sim/number_text.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

const std::vector<std::string_view> kModes{"NORM", "SING", "BURS", "DCYC"};

std::vector<Param> makeSystemParams() {
    using T = ParamType;
    const double maxCount = 4000000000.0;
    return {
        {.name = ":PULS0:PER", .type = T::Time, .limit = Limit::Period, .initial = 1e-3},
        {.name = ":PULS0:MOD", .type = T::Keyword, .keywords = kModes, .initialWord = "NORM"},
        {.name = ":PULS0:BCO", .type = T::Count, .min = 1, .max = maxCount, .initial = 1},
        {.name = ":PULS0:PCO", .type = T::Count, .min = 1, .max = maxCount, .initial = 1},
        {.name = ":PULS0:OCO", .type = T::Count, .min = 1, .max = maxCount, .initial = 1},
        {.name = ":PULS0:EXT:MODE",
         .type = T::Keyword,
         .keywords = {"DIS", "TRIG", "GAT", "REARM"},
         .initialWord = "DIS",
         .extendedFrom = 3},
        {.name = ":PULS0:EXT:LEV", .type = T::Volts, .min = 0.2, .max = 15, .initial = 2.5},
        {.name = ":PULS0:EXT:EDG",
         .type = T::Keyword,
         .keywords = {"FALL", "RIS"},
         .initialWord = "RIS"},
        {.name = ":PULS0:EXT:POL",
         .type = T::Keyword,
         .keywords = {"LOW", "HIGH"},
         .initialWord = "HIGH"},
        {.name = ":SYST:AUT", .type = T::Switch, .initial = 0},
        {.name = ":PULS0:EXTP:STAT", .type = T::Switch, .needs = Needs::Extended, .initial = 0},
        {.name = ":PULS0:EXTP:AUT", .type = T::Switch, .needs = Needs::Extended, .initial = 0},
        {.name = ":PULS0:EXTP:NCOU",
         .type = T::Count,
         .needs = Needs::Extended,
         .min = 1,
         .max = 15,
         .initial = 1},
        {.name = ":PULS0:COUN:STAT", .type = T::Switch, .needs = Needs::Extended, .initial = 0},
        {.name = ":PULS0:COUN:SOUR",
         .type = T::Keyword,
         .needs = Needs::Extended,
         .keywords = {"T0", "CHA", "CHB", "CHC", "CHD"},
         .initialWord = "T0"},
        {.name = ":SYST:UPD:AUTO", .type = T::Switch, .needs = Needs::Extended, .initial = 1},
        {.name = ":PULS0:CCO",
         .type = T::Count,
         .needs = Needs::Extended,
         .min = 0,
         .max = 1000000,
         .initial = 0},
    };
}

std::vector<Param> makeChannelParams() {
    using T = ParamType;
    return {
        {.name = ":STAT", .type = T::Switch, .initial = 1},
        {.name = ":DEL", .type = T::Time, .limit = Limit::Delay, .initial = 0},
        {.name = ":WIDT", .type = T::Time, .limit = Limit::Width, .initial = 1e-7},
        {.name = ":CMOD", .type = T::Keyword, .keywords = kModes, .initialWord = "NORM"},
        {.name = ":BCO", .type = T::Count, .min = 1, .max = 1000000, .initial = 1},
        {.name = ":PCO", .type = T::Count, .min = 1, .max = 1000000, .initial = 1},
        {.name = ":OCO", .type = T::Count, .min = 1, .max = 1000000, .initial = 1},
        {.name = ":SYNC", .type = T::Source, .initialWord = "T0"},
        {.name = ":POL", .type = T::Keyword, .keywords = {"INV", "NORM"}, .initialWord = "NORM"},
        {.name = ":WCO", .type = T::Count, .min = 0, .max = 1000000, .initial = 0},
        {.name = ":CGAT",
         .type = T::Keyword,
         .keywords = {"DIS", "LOW", "HIGH", "LOWWR", "HIGHWR"},
         .initialWord = "DIS",
         .extendedFrom = 3},
        {.name = ":OUTP:AMPL",
         .type = T::Volts,
         .needs = Needs::Output,
         .min = 3.3,
         .max = 5,
         .initial = 5},
        {.name = ":MUX", .type = T::Count, .needs = Needs::Output, .limit = Limit::MuxMask},
        {.name = ":MUXG", .type = T::Count, .needs = Needs::MuxGate, .min = 0, .max = 3},
    };
}

const Param* findIn(const std::vector<Param>& params, std::string_view name) {
    const auto it =
        std::find_if(params.begin(), params.end(), [&](const Param& p) { return p.name == name; });
    return it == params.end() ? nullptr : &*it;
}

struct Range {
    double min;
    double max;
};

Range rangeOf(const Param& p, const ModelInfo& info) {
    const TimeLimits t = timeLimits(info);
    switch (p.limit) {
    case Limit::Period:
        return {t.periodMin, t.periodMax};
    case Limit::Delay:
        return {-t.delayMax, t.delayMax};
    case Limit::Width:
        return {t.widthMin, t.widthMax};
    case Limit::MuxMask:
        return {0, double((1u << info.channelCount) - 1)};
    case Limit::Fixed:
        break;
    }
    return {p.min, p.max};
}

// Parsed decimal text of a bound may differ from the literal in the last bit.
bool inRange(double v, Range r) {
    return v >= r.min - 1e-9 * std::abs(r.min) && v <= r.max + 1e-9 * std::abs(r.max);
}

std::string channelWord(int channel) {
    return std::string("CH") + char('A' + channel - 1);
}

Value initialValue(const Param& p, int channel) {
    switch (p.type) {
    case ParamType::Time:
    case ParamType::Volts:
        return p.initial;
    case ParamType::Count:
    case ParamType::Switch:
        if (p.limit == Limit::MuxMask)
            return std::uint64_t(1) << (channel - 1); // each output shows its own channel
        return std::uint64_t(p.initial);
    case ParamType::Keyword:
    case ParamType::Source:
        break;
    }
    return std::string(p.initialWord);
}

} // namespace

const std::vector<Param>& systemParams() {
    static const std::vector<Param> params = makeSystemParams();
    return params;
}

const std::vector<Param>& channelParams() {
    static const std::vector<Param> params = makeChannelParams();
    return params;
}

const Param* findSystemParam(std::string_view header) {
    if (header == ":PULS0:EXT:MOD")
        header = ":PULS0:EXT:MODE";
    return findIn(systemParams(), header);
}

const Param* findChannelParam(std::string_view suffix) {
    return findIn(channelParams(), suffix);
}

std::string settingKey(const Param& p, int channel) {
    if (channel == 0)
        return std::string(p.name);
    return ":PULS" + std::to_string(channel) + std::string(p.name);
}

bool available(const Param& p, const ModelInfo& info, const Options& options, int channel) {
    if (channel < 0 || channel > info.channelCount)
        return false;
    switch (p.needs) {
    case Needs::Any:
        return true;
    case Needs::Extended:
        return info.extended();
    case Needs::Output:
        return info.isOutput(channel);
    case Needs::MuxGate:
        return options.muxGate && info.isOutput(channel);
    }
    return false;
}

Settings powerUpSettings(const ModelInfo& info, const Options& options) {
    Settings s;
    for (const Param& p : systemParams())
        if (available(p, info, options, 0))
            s[settingKey(p, 0)] = initialValue(p, 0);
    for (int n = 1; n <= info.channelCount; ++n)
        for (const Param& p : channelParams())
            if (available(p, info, options, n))
                s[settingKey(p, n)] = initialValue(p, n);
    return s;
}

std::vector<std::string> settingHeaders(const ModelInfo& info, const Options& options) {
    std::vector<std::string> headers;
    for (const Param& p : systemParams())
        if (available(p, info, options, 0))
            headers.push_back(settingKey(p, 0));
    for (int n = 1; n <= info.channelCount; ++n)
        for (const Param& p : channelParams())
            if (available(p, info, options, n))
                headers.push_back(settingKey(p, n));
    return headers;
}

std::optional<Value> parseArgument(const Param& p, std::string_view arg, const ModelInfo& info,
                                   int channel, ArgError& error) {
    error = ArgError::Bad;
    switch (p.type) {
    case ParamType::Time:
    case ParamType::Volts: {
        const auto v = text::parseNumber(arg);
        if (!v)
            return std::nullopt;
        if (!inRange(*v, rangeOf(p, info))) {
            error = ArgError::Range;
            return std::nullopt;
        }
        error = ArgError::None;
        return *v;
    }
    case ParamType::Count: {
        const auto v = text::parseCount(arg);
        if (!v)
            return std::nullopt;
        const Range r = rangeOf(p, info);
        if (double(*v) < r.min || double(*v) > r.max) {
            error = ArgError::Range;
            return std::nullopt;
        }
        error = ArgError::None;
        return *v;
    }
    case ParamType::Switch:
        if (arg == "1" || arg == "ON") {
            error = ArgError::None;
            return std::uint64_t(1);
        }
        if (arg == "0" || arg == "OFF") {
            error = ArgError::None;
            return std::uint64_t(0);
        }
        return std::nullopt;
    case ParamType::Keyword: {
        const auto it = std::find(p.keywords.begin(), p.keywords.end(), arg);
        const auto index = std::size_t(it - p.keywords.begin());
        if (it == p.keywords.end() || (index >= p.extendedFrom && !info.extended()))
            return std::nullopt;
        error = ArgError::None;
        return std::string(arg);
    }
    case ParamType::Source:
        if (arg == "T0") {
            error = ArgError::None;
            return std::string(arg);
        }
        for (int n = 1; n <= info.channelCount; ++n) {
            if (arg == channelWord(n)) {
                if (n == channel) // a channel cannot time itself
                    return std::nullopt;
                error = ArgError::None;
                return std::string(arg);
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::string formatValue(const Param& p, const Value& v, NumberForm form) {
    if (const auto* d = std::get_if<double>(&v)) {
        const int decimals = p.type == ParamType::Volts ? 2 : 12;
        return form == NumberForm::Exponent ? text::exponent(*d, decimals)
                                            : text::fixed(*d, decimals);
    }
    if (const auto* c = std::get_if<std::uint64_t>(&v))
        return text::count(*c);
    return std::get<std::string>(v);
}

} // namespace sim
