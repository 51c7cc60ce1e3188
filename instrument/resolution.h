#pragma once

// The timing grid: whether an edited time may be sent.
namespace pg5400 {

// True when value lies on the grid of resolution, counted in whole
// picoseconds (within half a thousandth of a step). Negative values are
// tested on their magnitude; a resolution of 0 (no instrument identified)
// accepts every value; a value that is not finite is refused.
bool CheckResolution(double value, double resolution);

// Halves away from zero, to the given number of decimals.
double RoundTo(double value, int decimals);

} // namespace pg5400
