#pragma once

#include <QSize>

// The main window as it was designed, in logical pixels: what the layout
// builds, what the fitting keeps in view and what the tests expect.
namespace pg5400::designed {

// The client area below the menu bar.
inline constexpr QSize Client{622, 710};
// Each of the two banner pictures at the top left.
inline constexpr QSize Banner{615, 72};
// The banner strip above the system group: where that group starts.
inline constexpr int StripHeight = 70;

} // namespace pg5400::designed
