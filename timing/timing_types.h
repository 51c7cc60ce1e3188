#pragma once

#include <cstdint>

namespace timing {

// Times are whole picoseconds: a double cannot hold the last picosecond of
// a 1000 s delay.
using Ps = std::int64_t;

constexpr Ps PsPerSecond = 1'000'000'000'000;

// List indexes as the panel's selection lists hold them.
enum Mode { Normal = 0, SingleShot = 1, Burst = 2, DutyCycle = 3 };
enum ExternalMode { Internal = 0, Triggered = 1, Gated = 2, ReArm = 3 };
enum MuxGate { MuxGateOff = 0, MuxGated = 1, MuxInhibit = 2, MuxInvert = 3 };

} // namespace timing
