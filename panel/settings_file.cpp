#include "panel/settings_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <optional>

namespace pg5400 {

namespace {

// A broken UTF-16 file can leave half of a surrogate pair, which no encoding
// can write back; it becomes the replacement character like any other error.
QString withoutLoneSurrogates(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

QString DecodeSettingsText(const QByteArray& data) {
    if (const std::optional<QStringConverter::Encoding> bom =
            QStringConverter::encodingForData(data)) {
        // The decoder drops the mark itself.
        QStringDecoder decoder(*bom);
        return withoutLoneSurrogates(decoder(data));
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(data);
    return utf8.hasError() ? QString::fromLatin1(data) : text;
}

QStringList SplitSettingsLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QByteArray EncodeSettingsFile(const QStringList& lines) {
    QByteArray data;
    for (const QString& line : lines)
        data += line.toUtf8() + "\r\n";
    return data;
}

bool ReadSettingsFile(const QString& path, QStringList& lines, QString& error) {
    lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot open \"%1\" for reading: %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("Cannot read \"%1\": %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    lines = SplitSettingsLines(DecodeSettingsText(data));
    return true;
}

bool WriteSettingsFile(const QString& path, const QStringList& lines, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Cannot open \"%1\" for writing: %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    // Without a commit the temporary file is discarded and the old file stays.
    // The explicit flush matters: commit alone takes a failure to write out the
    // last buffered bytes for success and puts a cut-off file in place.
    const QByteArray data = EncodeSettingsFile(lines);
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
