#include "instrument/resolution.h"

#include <algorithm>
#include <cmath>

namespace pg5400 {

double RoundTo(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

bool CheckResolution(double value, double resolution) {
    // In whole picoseconds, the finest decimal any control shows: a division
    // by the step in doubles leaves a tenth of a 5 ps step of rounding error
    // at 1000 s, enough to refuse values that lie on the grid. The extended
    // product is exact to well below half a picosecond over the whole range.
    if (!std::isfinite(value) || !std::isfinite(resolution))
        return false;
    constexpr long double kPerSecond = 1e12L;
    const long double v = std::fabs(static_cast<long double>(value)) * kPerSecond;
    const long double r = std::fabs(static_cast<long double>(resolution)) * kPerSecond;
    if (v > 9e18L || r > 9e18L)
        return false;
    const long long units = std::llround(v);
    const long long step = std::llround(r);
    if (step == 0) // no instrument identified yet
        return true;
    // Within a two-thousandth of a step of the grid counts as on it.
    const long long rest = units % step;
    return std::min(rest, step - rest) * 2000 < step;
}

} // namespace pg5400
