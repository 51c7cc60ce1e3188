#include "desktop/version_info.h"

#include "version_table.h"

#include <QMetaEnum>

namespace {

// The table's answer to one query path; false when the table lacks the key.
bool queryValue(const QString& path, QString* value) {
    for (const version_table::Entry& entry : version_table::kEntries) {
        if (path == QLatin1String(entry.path)) {
            *value = QString::fromUtf8(entry.value);
            return true;
        }
    }
    return false;
}

} // namespace

TVersionInfoReader::TVersionInfoReader(QObject* owner) : QObject(owner) {
    ReadVersionInfo();
}

QString TVersionInfoReader::GetVersionString(TVersionType index) const {
    return FVersionInfo[index];
}

QString TVersionInfoReader::KeyName(TVersionType index) {
    const char* name = QMetaEnum::fromType<TVersionType>().valueToKey(index);
    return name ? QString::fromLatin1(name).mid(2) : QString();
}

void TVersionInfoReader::ReadVersionInfo() {
    for (int i = 0; i < VersionTypeCount; ++i) {
        const auto type = static_cast<TVersionType>(i);
        QString value;
        if (queryValue(QStringLiteral("StringFileInfo\\040904E4\\") + KeyName(type), &value))
            FVersionInfo[i] = value;
    }
}
