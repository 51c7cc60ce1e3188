#pragma once

#include <QByteArray>
#include <QString>

namespace pg5400 {

// Writes data as the whole new content of path. Through a temporary file
// renamed into place, so a failed write keeps the old file, where the folder
// allows it; where the folder cannot be written to but the file can, directly.
// The explicit flush makes a full disk a failure rather than a cut-off file
// put in place. On failure, error names the file and the reason.
bool WriteWholeFile(const QString& path, const QByteArray& data, QString& error);

} // namespace pg5400
