// The settings file's text: decoding, line splitting, writing, and a save
// that fails part-way.
#include "desktop/jpeg_io.h"
#include "instrument/settings_file.h"
#include "tests/support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace pg5400;

class TstSettingsFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitsAtEveryLineBreak_data();
    void splitsAtEveryLineBreak();
    void decodesByByteOrderMark();
    void eightBitTextPassesUnchanged();
    void brokenUtf16SurvivesASave();
    void writesCrLfWithoutMarkAndReadsBack();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void reportsFilesThatCannotBeOpened();
    void captureOnAFullDiskKeepsTheOldFile();
    void writableFileInAFolderThatIsNot();
};

void TstSettingsFile::splitsAtEveryLineBreak_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("one break only") << QStringLiteral("\r\n") << QStringList{QString()};
    QTest::newRow("final break adds nothing")
        << QStringLiteral("a\r\nb\r\n") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("no final break")
        << QStringLiteral("a\nb") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("CR, LF and CR LF mixed")
        << QStringLiteral("a\rb\nc\r\nd")
        << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                       QStringLiteral("d")};
    QTest::newRow("blank lines kept")
        << QStringLiteral("a\r\n\r\n\rb\n\n")
        << QStringList{QStringLiteral("a"), QString(), QString(), QStringLiteral("b"), QString()};
    QTest::newRow("LF CR is two breaks")
        << QStringLiteral("a\n\rb")
        << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
}

void TstSettingsFile::splitsAtEveryLineBreak() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitSettingsLines(text), lines);
}

void TstSettingsFile::decodesByByteOrderMark() {
    const QString text = QStringLiteral("// Caf\u00e9\r:PULS0:PER 0.001\r");
    QByteArray utf16le("\xFF\xFE", 2);
    QByteArray utf16be("\xFE\xFF", 2);
    for (QChar c : text) {
        const char low = char(c.unicode() & 0xFF), high = char(c.unicode() >> 8);
        utf16le += low;
        utf16le += high;
        utf16be += high;
        utf16be += low;
    }
    const QByteArray utf8 = QByteArray("\xEF\xBB\xBF") + text.toUtf8();

    for (const QByteArray& data : {utf16le, utf16be, utf8}) {
        QCOMPARE(DecodeSettingsText(data), text);
        QCOMPARE(SplitSettingsLines(DecodeSettingsText(data)),
                 (QStringList{QStringLiteral("// Caf\u00e9"), QStringLiteral(":PULS0:PER 0.001")}));
    }
}

void TstSettingsFile::eightBitTextPassesUnchanged() {
    // Valid UTF-8 without a mark is read as UTF-8...
    QCOMPARE(DecodeSettingsText(QByteArray("// \xC2\xB5s")), QStringLiteral("// \u00b5s"));
    // ...anything else byte for byte, so the wire gets the file's own bytes.
    const QByteArray eightBit("// 5\xB5s\r\n:PULS1:DEL 1\xE9");
    QCOMPARE(DecodeSettingsText(eightBit).toLatin1(), eightBit);
}

void TstSettingsFile::brokenUtf16SurvivesASave() {
    // UTF-16 LE with half a surrogate pair in the middle of a line.
    const QByteArray bytes("\xff\xfe"
                           "A\x00"
                           "\x00\xd8"
                           "B\x00",
                           8);
    const QStringList lines = SplitSettingsLines(DecodeSettingsText(bytes));
    QCOMPARE(lines, QStringList{QStringLiteral("A\uFFFDB")});
    QCOMPARE(SplitSettingsLines(DecodeSettingsText(EncodeSettingsFile(lines))), lines);
}

void TstSettingsFile::writesCrLfWithoutMarkAndReadsBack() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("s.txt"));
    const QStringList lines{QStringLiteral("// 1/2/24,10:00:00"),
                            QStringLiteral(":PULS0:PER 0.001"), QString(),
                            QStringLiteral(":PULS0:MOD NORM")};
    QString error;
    QVERIFY(WriteSettingsFile(path, lines, error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("// 1/2/24,10:00:00\r\n:PULS0:PER 0.001\r\n\r\n:PULS0:MOD NORM\r\n"));
    file.close();

    // Replacing an existing file.
    QVERIFY(WriteSettingsFile(path, {QStringLiteral(":SYST:AUT 0")}, error));
    QStringList read;
    QVERIFY(ReadSettingsFile(path, read, error));
    QCOMPARE(read, QStringList{QStringLiteral(":SYST:AUT 0")});
}

void TstSettingsFile::failedSaveKeepsTheOldFile_data() {
    QTest::addColumn<int>("lineCount");
    QTest::newRow("fails when the last bytes are written out") << 40;
    QTest::newRow("fails while writing") << 2000;
}

void TstSettingsFile::failedSaveKeepsTheOldFile() {
    QFETCH(int, lineCount);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("keep.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old settings\r\n");
    }
    QStringList lines;
    for (int i = 0; i < lineCount; ++i)
        lines << QStringLiteral(":PULS1:DEL 0.000000%1").arg(i);

    // A file size limit makes the write fail part-way, even for root.
    testsupport::FileSizeLimit limit(100);
    QVERIFY(limit.ok());
    QString error;
    const bool written = WriteSettingsFile(path, lines, error);
    limit.lift();

    QVERIFY(!written);
    QVERIFY(error.contains(QStringLiteral("keep.txt")));
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old settings\r\n"));
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
}

void TstSettingsFile::reportsFilesThatCannotBeOpened() {
    QTemporaryDir dir;
    QString error;
    QStringList lines{QStringLiteral("stale")};
    QVERIFY(!ReadSettingsFile(dir.filePath(QStringLiteral("missing.txt")), lines, error));
    QVERIFY(lines.isEmpty());
    QVERIFY(error.contains(QStringLiteral("missing.txt")));
    error.clear();
    QVERIFY(!WriteSettingsFile(dir.filePath(QStringLiteral("no/such/dir.txt")), lines, error));
    QVERIFY(error.contains(QStringLiteral("dir.txt")));
}

// The screen capture is written the same safe way: a JPEG cut off by a full
// disk is never put in place of the old one.
void TstSettingsFile::captureOnAFullDiskKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shot.jpg"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old picture");
    }
    QImage image(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) // noise: no small JPEG
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 256, (x * y) % 256, (x ^ y) % 256));
    testsupport::FileSizeLimit limit(4096);
    QVERIFY(limit.ok());
    QString error;
    const bool written = WriteJpeg(image, path, &error);
    limit.lift();
    QVERIFY(!written);
    QVERIFY(error.contains(QStringLiteral("shot.jpg")));
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old picture"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("shot.jpg")});
}

// A settings file the user may write, in a folder where no temporary file
// can be made: written directly.
void TstSettingsFile::writableFileInAFolderThatIsNot() {
    if (::geteuid() == 0)
        QSKIP("root writes to any folder; run as a user to check this");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lab.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    QString error;
    const bool written = WriteSettingsFile(path, {QStringLiteral(":PULS0:PER 0.002")}, error);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(written, qPrintable(error));
    QStringList lines;
    QVERIFY(ReadSettingsFile(path, lines, error));
    QCOMPARE(lines, QStringList{QStringLiteral(":PULS0:PER 0.002")});
}

QTEST_GUILESS_MAIN(TstSettingsFile)
#include "tst_settings_file.moc"
