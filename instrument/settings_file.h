#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The settings file: one line per settings entry, "// " comment lines and
// set-command lines.
namespace pg5400 {

// A byte-order mark selects UTF-8, UTF-16 or UTF-32; without one the text is
// UTF-8 when it is valid UTF-8, otherwise Latin-1, so that every byte of an
// 8-bit file reaches the instrument unchanged.
QString DecodeSettingsText(const QByteArray& data);
// Lines split at CR, LF or CR LF; a final line break adds no empty line.
QStringList SplitSettingsLines(const QString& text);
// Every line ended by CR LF, UTF-8 without byte-order mark.
QByteArray EncodeSettingsFile(const QStringList& lines);

// False with a message for the user when the file cannot be read.
bool ReadSettingsFile(const QString& path, QStringList& lines, QString& error);
// Writes through a temporary file that replaces the old one only when every
// byte has been written, so a failed save leaves the old file as it was.
bool WriteSettingsFile(const QString& path, const QStringList& lines, QString& error);

// True when the lines can be a settings file: "//" comments and empty lines
// of text, and command lines of printable Latin-1 of reasonable length. A file
// of other bytes would be played to the instrument as noise; error names the
// first line that is none of these.
bool CheckSettingsLines(const QStringList& lines, QString& error);

} // namespace pg5400
