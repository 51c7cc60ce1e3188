#include "desktop/whole_file.h"

#include <QDir>
#include <QSaveFile>

namespace pg5400 {

bool WriteWholeFile(const QString& path, const QByteArray& data, QString& error) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Cannot open \"%1\" for writing: %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    // commit alone takes a failure to write out the last buffered bytes for
    // success.
    const bool written = file.write(data) == data.size() && file.flush();
    if (!written || !file.commit()) {
        error = QStringLiteral("Cannot write \"%1\": %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        if (!written)
            file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace pg5400
