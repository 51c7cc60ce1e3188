#pragma once

#include <QFont>

namespace layout {

// The panel's typeface at a pixel height: Tahoma where it is installed, else
// a face of similar widths, else DejaVu Sans.
QFont PanelFont(int pixels);

} // namespace layout
