// Help > About, Help > Web Site and Tools > Capture Screen Shot: the three
// menu commands that never talk to the instrument.
#include "comm/discovery.h"
#include "comm/model_table.h"
#include "desktop/jpeg_io.h"
#include "desktop/version_info.h"
#include "panel/main_form.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QUrl>

namespace {

const QString kWebSite = QStringLiteral("https://www.pellgrave.example/");
const QString kScreenShotFile = QStringLiteral("5400ScreenShot.jpg");

// A grab that came back as one flat colour read nothing: a screen the
// program may not read (Wayland, some compositors) hands out black.
bool isBlank(const QImage& image) {
    if (image.isNull())
        return true;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb first = rgb.pixel(0, 0);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (row[x] != first)
                return false;
    }
    return true;
}

// Platforms whose screen is no picture of the desktop: nothing to read there.
bool screenReadable() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
           !platform.startsWith(QLatin1String("wayland"));
}

// What the screens show inside frame (global coordinates), including windows
// lying over ours; parts no screen shows stay black. Null when nothing could
// be read.
QImage screenPixels(const QRect& frame) {
    QImage picture(frame.size(), QImage::Format_RGB32);
    if (picture.isNull())
        return {};
    picture.fill(Qt::black);
    QPainter painter(&picture);
    bool read = false;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect part = frame & screen->geometry();
        if (part.isEmpty())
            continue;
        const QRect local = part.translated(-screen->geometry().topLeft());
        const QPixmap grabbed =
            screen->grabWindow(0, local.x(), local.y(), local.width(), local.height());
        if (grabbed.isNull())
            continue;
        // Scaled to logical pixels, so the picture has the window's size on
        // high-density screens too.
        painter.drawPixmap(QRect(part.topLeft() - frame.topLeft(), part.size()), grabbed);
        read = true;
    }
    painter.end();
    return read ? picture : QImage();
}

} // namespace

void TMainForm::About1Click(QObject*) {
    const communication::TInstrumentIdentity& id = communication::InstrumentIdentity;
    const QString company = communication::CompanyName(id.Manufacturer);
    const QStringList lines{
        QStringLiteral("Company: ") + company,
        QStringLiteral("Model Number: ") + id.Model,
        QStringLiteral("Serial Number: ") + QString::number(id.SerialNumber),
        QStringLiteral("Firmware Version: ") + id.FirmwareVersion,
        QStringLiteral("FPGA Version: ") + id.FpgaVersion,
        QStringLiteral("Software Version: ") +
            (VersionInfo ? VersionInfo->FileVersion() : QString()),
    };
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    lines.join(QStringLiteral("\r\n")), QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::WebSite1Click(QObject*) {
    // Whether a browser came up is the desktop's business.
    QDesktopServices::openUrl(QUrl(kWebSite));
}

void TMainForm::CaptureScreenShot1Click(QObject*) {
    // The menu that started this has just closed; paint the window again so
    // the screen no longer shows the menu over it.
    repaint();
    QImage picture = screenReadable() ? screenPixels(frameGeometry()) : QImage();
    if (isBlank(picture))
        picture = grab().toImage();
    QString error;
    if (!WriteJpeg(picture, kScreenShotFile, &error))
        QMessageBox::warning(
            this, QApplication::applicationName(),
            QStringLiteral("Cannot save the screen shot as \"%1\".\n%2")
                .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(kScreenShotFile)),
                     error));
}
