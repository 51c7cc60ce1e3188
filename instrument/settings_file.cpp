#include "instrument/settings_file.h"

#include "comm/command_set.h"

#include "desktop/whole_file.h"

#include <QDir>
#include <QFile>
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

namespace {

// Far longer than any line the panel writes, far shorter than noise.
constexpr qsizetype kMaxCommentLength = 1000;

bool isCommentText(const QString& line) {
    if (line.size() > kMaxCommentLength)
        return false;
    for (const QChar c : line)
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7f)
            return false;
    return true;
}

} // namespace

bool CheckSettingsLines(const QStringList& lines, QString& error) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        // Played as the playback plays it: a line with "//" is a comment.
        const bool fits = line.contains(QStringLiteral("//"))
                              ? isCommentText(line)
                              : communication::cmd::IsCommandText(line);
        if (fits)
            continue;
        QString shown = line.left(40);
        for (QChar& c : shown)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = QChar(0xb7); // a middle dot for each control character
        error = QStringLiteral("This is not a settings file; nothing was sent.\n"
                               "Line %1 is no command or comment: \"%2%3\"")
                    .arg(i + 1)
                    .arg(shown, line.size() > 40 ? QStringLiteral("...") : QString());
        return false;
    }
    return true;
}

bool WriteSettingsFile(const QString& path, const QStringList& lines, QString& error) {
    return WriteWholeFile(path, EncodeSettingsFile(lines), error);
}

} // namespace pg5400
