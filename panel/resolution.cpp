#include "panel/resolution.h"

#include <cmath>

namespace pg5400 {

double RoundTo(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

bool CheckResolution(double value, double resolution) {
    const double v = RoundTo(std::abs(value), 13);
    const double r = RoundTo(std::abs(resolution), 13);
    if (std::abs(v - r) <= 9e-13)
        return true;
    if (r == 0)
        return true;
    const double ratio = v / r;
    double q = RoundTo(ratio - std::trunc(ratio), 3);
    if (q >= 1 || std::isnan(q))
        q = 0;
    return !(q > 9e-13);
}

} // namespace pg5400
