#pragma once

#include "timing/trace_paint.h"

#include <QImage>
#include <QSize>
#include <QString>

// The diagram as a picture, painted by the same code as the screen: PNG at
// twice the screen's device pixels, SVG and PDF as vector drawings with
// text the size the screen shows, each with a caption naming the
// instrument and the time.
namespace timing {

// "Timing diagram, 5454 serial 1234, 2026-12-09 22:40:03".
QString ExportCaption(const QString& model, const QString& serial);

QImage RenderImage(const Model& model, const ViewState& view, PaintParams params, QSize size,
                   double scale);

// Writes the file by its suffix (.png, .svg, .pdf); false with `error` set.
// `devicePixelRatio` and `dpi` are the screen's the diagram was shown on.
bool ExportDiagram(const QString& path, const Model& model, const ViewState& view,
                   PaintParams params, QSize size, QString& error, double devicePixelRatio = 1.0,
                   int dpi = 96);

} // namespace timing
