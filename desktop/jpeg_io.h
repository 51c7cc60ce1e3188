#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG through libjpeg's own interface, independent of Qt's image plugins.

// Decodes a JPEG file's bytes; a null image when they are no decodable JPEG.
QImage ReadJpeg(const QByteArray& data);

// Encodes with the encoder's default settings and replaces the file at path.
// On failure returns false and, when error is given, says why.
bool WriteJpeg(const QImage& image, const QString& path, QString* error = nullptr);
