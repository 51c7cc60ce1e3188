#pragma once

#include "sim/model.h"
#include "sim/options.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sim {

// The settings the instrument stores (and keeps in its bins), described once so
// that defaults, range checks, queries and bins all come from one table.
enum class ParamType {
    Time,    // seconds, double
    Volts,   // volts, double
    Count,   // unsigned integer
    Switch,  // 0 or 1, set as "1"/"0" or "ON"/"OFF"
    Keyword, // one word of a list
    Source,  // "T0" or another existing channel "CHA".."CHH"
};

enum class Needs {
    Any,
    Extended, // plus and high-resolution models
    Output,   // output channels only
    MuxGate,  // output channels of a firmware that knows the mux gate header
};

enum class Limit { Fixed, Period, Delay, Width, MuxMask };

struct Param {
    std::string_view name{}; // full header of a system setting, suffix of a channel setting
    ParamType type = ParamType::Count;
    Needs needs = Needs::Any;
    Limit limit = Limit::Fixed;
    double min = 0;
    double max = 0;
    double initial = 0;
    std::vector<std::string_view> keywords{};
    std::string_view initialWord{};
    std::size_t extendedFrom = SIZE_MAX; // keywords from this index need an extended model
};

using Value = std::variant<double, std::uint64_t, std::string>;
// Keyed by the canonical header, e.g. ":PULS0:EXT:MODE" or ":PULS3:WIDT".
using Settings = std::map<std::string, Value>;

const std::vector<Param>& systemParams();
const std::vector<Param>& channelParams();
// Takes both ":PULS0:EXT:MOD" and ":PULS0:EXT:MODE".
const Param* findSystemParam(std::string_view header);
const Param* findChannelParam(std::string_view suffix);

std::string settingKey(const Param& p, int channel);
// Whether the setting exists on this model and channel (channel 0 = system).
bool available(const Param& p, const ModelInfo& info, const Options& options, int channel);
Settings powerUpSettings(const ModelInfo& info, const Options& options);
// Canonical headers of every stored setting, system first, then channel by channel.
std::vector<std::string> settingHeaders(const ModelInfo& info, const Options& options);

enum class ArgError { None, Bad, Range };
std::optional<Value> parseArgument(const Param& p, std::string_view arg, const ModelInfo& info,
                                   int channel, ArgError& error);
std::string formatValue(const Param& p, const Value& v, NumberForm form);

} // namespace sim
