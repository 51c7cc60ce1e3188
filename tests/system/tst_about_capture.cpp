// Help > About, Help > Web Site and Tools > Capture Screen Shot on a whole
// panel: the About lines with and without an identified instrument, the
// picture file and its failure, the web address.
#include "comm/discovery.h"
#include "desktop/jpeg_io.h"
#include "panel/main_form.h"
#include "tests/support/panel_harness.h"

#include <QAction>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>

using testsupport::PanelHarness;

namespace {

const QString kPicture = QStringLiteral("5400ScreenShot.jpg");

QString aboutText(PanelHarness& h) {
    h.answers().clear();
    h.form()->About1->trigger();
    return h.answers().texts().value(0);
}

QImage readPicture() {
    QFile file(kPicture);
    return file.open(QIODevice::ReadOnly) ? ReadJpeg(file.readAll()) : QImage();
}

// Mean difference per colour channel, 0..255; JPEG leaves a few levels.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c) {
            const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace

// Stands in for the desktop's browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

class TstAboutCapture : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void aboutShowsTheInstrument();
    void aboutCompanyAndSerial_data();
    void aboutCompanyAndSerial();
    void aboutWithoutIdentification();
    void captureWritesTheWindow();
    void captureFailureIsReported();
    void webSiteOpensTheFixedAddress();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString previousDir;
};

void TstAboutCapture::init() {
    // The picture goes to the current directory: keep it out of the build tree.
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path()));
}

void TstAboutCapture::cleanup() {
    QDir::setCurrent(previousDir);
    dir.reset();
}

void TstAboutCapture::aboutShowsTheInstrument() {
    sim::ServerOptions options;
    options.instrument.serial = "5021";
    options.instrument.firmware = "2.3.1";
    options.instrument.fpga = "1.4.0";
    PanelHarness h(options);
    QVERIFY(h.start());
    QCOMPARE(aboutText(h), QStringLiteral("Company: Pellgrave\r\n"
                                          "Model Number: 5404+\r\n"
                                          "Serial Number: 5021\r\n"
                                          "Firmware Version: 2.3.1\r\n"
                                          "FPGA Version: 1.4.0\r\n"
                                          "Software Version: 1.2.6.4"));
}

void TstAboutCapture::aboutCompanyAndSerial_data() {
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<qint32>("serial");
    QTest::addColumn<QString>("firstLines");
    QTest::newRow("PG") << "PG" << 7 << "Company: Pellgrave\nModel Number: 5404+\nSerial Number: 7";
    // Only the exact code names the maker.
    QTest::newRow("lower case") << "pg" << 7
                                << "Company: Unknown\nModel Number: 5404+\nSerial Number: 7";
    QTest::newRow("empty") << "" << 7 << "Company: Unknown\nModel Number: 5404+\nSerial Number: 7";
    QTest::newRow("padded") << "PG " << 7
                            << "Company: Unknown\nModel Number: 5404+\nSerial Number: 7";
    QTest::newRow("negative serial")
        << "PG" << -42 << "Company: Pellgrave\nModel Number: 5404+\nSerial Number: -42";
}

void TstAboutCapture::aboutCompanyAndSerial() {
    QFETCH(QString, manufacturer);
    QFETCH(qint32, serial);
    QFETCH(QString, firstLines);
    PanelHarness h;
    QVERIFY(h.start());
    communication::InstrumentIdentity.Manufacturer = manufacturer;
    communication::InstrumentIdentity.SerialNumber = serial;
    // Lines end in CR LF (aboutShowsTheInstrument); here only what they say.
    const QString text = aboutText(h).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QVERIFY2(text.startsWith(firstLines + QLatin1Char('\n')), qPrintable(text));
    QCOMPARE(text.count(QLatin1Char('\n')), 5);
}

void TstAboutCapture::aboutWithoutIdentification() {
    PanelHarness h;
    TMainForm::StartOptions demo;
    demo.demo = true;
    QVERIFY(h.start(demo));
    QCOMPARE(aboutText(h).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
             QStringLiteral("Company: Unknown\n"
                            "Model Number: \n"
                            "Serial Number: 0\n"
                            "Firmware Version: \n"
                            "FPGA Version: \n"
                            "Software Version: 1.2.6.4"));
}

void TstAboutCapture::captureWritesTheWindow() {
    PanelHarness h;
    QVERIFY(h.start());
    TMainForm* f = h.form();
    // Whatever was there before is replaced.
    {
        QFile old(kPicture);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("not a picture");
    }
    h.answers().clear();
    f->CaptureScreenShot1->trigger();
    QCOMPARE(h.answers().count(), 0);
    const QImage picture = readPicture();
    QVERIFY(!picture.isNull());
    // The screen's view of the frame (the frame's size) where the screen can
    // be read, else the window's own rendering (the window's size).
    QVERIFY2(picture.size() == f->frameGeometry().size() || picture.size() == f->size(),
             qPrintable(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height())));
    // Nothing lies over the window here, so its client area must look as the
    // window draws itself, wherever the frame puts it.
    const QPoint client = picture.size() == f->size()
                              ? QPoint()
                              : f->geometry().topLeft() - f->frameGeometry().topLeft();
    QVERIFY(meanDifference(picture.copy(QRect(client, f->size())), f->grab().toImage()) < 8.0);

    // A second capture overwrites the first.
    const QDateTime first = QFileInfo(kPicture).lastModified();
    QTest::qWait(20);
    f->CaptureScreenShot1->trigger();
    QVERIFY(QFileInfo(kPicture).lastModified() > first);
    QCOMPARE(readPicture().size(), picture.size());
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{kPicture});
}

void TstAboutCapture::captureFailureIsReported() {
    PanelHarness h;
    QVERIFY(h.start());
    // A directory in the way: the file cannot be written.
    QVERIFY(QDir().mkdir(kPicture));
    h.answers().clear();
    h.form()->CaptureScreenShot1->trigger();
    QCOMPARE(h.answers().count(), 1);
    QVERIFY2(h.answers().texts().at(0).contains(QDir(dir->path()).absoluteFilePath(kPicture)),
             qPrintable(h.answers().texts().at(0)));
    QVERIFY(QFileInfo(kPicture).isDir());
    QVERIFY(QDir().rmdir(kPicture));
}

void TstAboutCapture::webSiteOpensTheFixedAddress() {
    PanelHarness h;
    TMainForm::StartOptions demo;
    demo.demo = true;
    QVERIFY(h.start(demo));
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    h.form()->WebSite1->trigger();
    h.form()->WebSite1->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(browser.opened.size(), 2);
    QCOMPARE(browser.opened[0], browser.opened[1]);
    QVERIFY(browser.opened[0].isValid());
    // A reserved name that can never lead anywhere unintended.
    QVERIFY(browser.opened[0].host().endsWith(QStringLiteral(".example")));
}

QTEST_MAIN(TstAboutCapture)
#include "tst_about_capture.moc"
