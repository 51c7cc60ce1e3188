#include "controls/panel_font.h"

namespace layout {

QFont PanelFont(int pixels) {
    QFont font;
    // The fallbacks share Tahoma's widths as far as they can (the Arial-metric
    // faces have its digit widths), so texts and numbers fit the designed
    // bounds; DejaVu Sans, wider, is always there.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixels);
    return font;
}

} // namespace layout
