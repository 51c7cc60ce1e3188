// The window itself: top level, terminal, system information, menus and the
// non-visual parts; the system and channel areas have files of their own.
#include "controls/message_form.h"
#include "controls/plusspinedit.h"
#include "controls/terminal_view.h"
#include "desktop/designed_sizes.h"
#include "desktop/jpeg_io.h"
#include "desktop/version_info.h"
#include "desktop/window_fit.h"
#include "panel/accessible_names.h"
#include "panel/layout_helpers.h"
#include "panel/main_form.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMovie>
#include <QPushButton>
#include <QScrollArea>

using namespace layout;

namespace {

// Key presses typed into the terminal's send box go to SendEditKeyPress
// first; a key it consumes goes no further.
class SendEditKeys : public QObject {
public:
    SendEditKeys(TMainForm* form, QComboBox* box) : QObject(box), form(form), box(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        return form->SendEditKeyPress(box, key->key(), key->modifiers());
    }

private:
    TMainForm* form;
    QComboBox* box;
};

QPixmap jpegPixmap(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QPixmap::fromImage(ReadJpeg(file.readAll()));
}

// A banner for a screen of this pixel ratio: the 2x drawing wherever the
// screen has more pixels than the layout, brought to exactly as many.
QPixmap bannerPixmap(const QString& name, qreal ratio) {
    if (ratio <= 1.0)
        return jpegPixmap(QStringLiteral(":/assets/%1.jpg").arg(name));
    QPixmap big = jpegPixmap(QStringLiteral(":/assets/%1@2x.jpg").arg(name));
    if (big.isNull() || ratio == 2.0) {
        big.setDevicePixelRatio(2.0);
        return big;
    }
    const QSize size = (QSizeF(big.size()) * (ratio / 2.0)).toSize();
    QPixmap fitted = big.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    fitted.setDevicePixelRatio(ratio);
    return fitted;
}

} // namespace

void TMainForm::showBanners(qreal ratio) {
    BlueBanner->setPixmap(bannerPixmap(QStringLiteral("blue_banner"), ratio));
    // Scaled proportionally: a picture larger than the bounds shrinks to fit.
    QPixmap green = bannerPixmap(QStringLiteral("green_banner"), ratio);
    const QSize banner = pg5400::designed::Banner;
    if (green.deviceIndependentSize().width() > banner.width() ||
        green.deviceIndependentSize().height() > banner.height())
        green = green.scaled((QSizeF(banner) * green.devicePixelRatio()).toSize(),
                             Qt::KeepAspectRatio, Qt::SmoothTransformation);
    GreenBanner->setPixmap(green);
}

namespace {

void buildTopLevel(TMainForm* f, QWidget* client) {
    const QRect banner(QPoint(0, 0), pg5400::designed::Banner);
    f->BlueBanner = NewPicture(client, QStringLiteral("BlueBanner"), banner);
    f->GreenBanner = NewPicture(client, QStringLiteral("GreenBanner"), banner);

    f->FeatureLabel = NewLabel(client, QStringLiteral("FeatureLabel"), {213, 29, 82, 19},
                               QStringLiteral("Plus Option"));
    SetPanelFont(f->FeatureLabel, 16);
    f->FeatureLabel->hide();

    f->PulseAnimate = NewPicture(client, QStringLiteral("PulseAnimate"), {444, 11, 65, 46});
    f->PulseAnimate->setScaledContents(true);
    f->PulseMovie =
        new QMovie(QStringLiteral(":/assets/run_pulse.gif"), QByteArray(), f->PulseAnimate);
    f->PulseMovie->setObjectName(QStringLiteral("PulseMovie"));
    // Every frame stays decoded, so the run indicator can rest on any of them.
    f->PulseMovie->setCacheMode(QMovie::CacheAll);
    f->PulseAnimate->setMovie(f->PulseMovie);
    f->PulseMovie->jumpToFrame(0);

    // Red text on the window colour: a red ground as well would hide the text.
    f->ErrorLabel = NewLabel(client, QStringLiteral("ErrorLabel"), {213, -4, 130, 33},
                             QStringLiteral("Error Label"));
    SetPanelFont(f->ErrorLabel, 27);
    QPalette red = f->ErrorLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    f->ErrorLabel->setPalette(red);
    f->ErrorLabel->hide();
}

void buildTerminal(TMainForm* f, QWidget* client) {
    QGroupBox* box = f->TerminalBoxgrp =
        NewGroup(client, QStringLiteral("TerminalBoxgrp"), {-2, 590, 456, 121},
                 QStringLiteral("Command Terminal"),
                 QStringLiteral("Send and receive commands directly to unit"));
    SetOpaque(box);
    f->SendBtn =
        NewButton(box, QStringLiteral("SendBtn"), {348, 20, 67, 22}, QStringLiteral("Send"));
    f->SendEdit = NewCombo(box, QStringLiteral("SendEdit"), {24, 21, 318, 21}, {}, -1);
    f->ResponseList = new TerminalView(box);
    f->ResponseList->setObjectName(QStringLiteral("ResponseList"));
    f->ResponseList->setGeometry(25, 45, 390, 70);
    SetPanelFont(f->ResponseList, 11);

    BindClick(f, f->SendBtn, &TMainForm::SendBtnClick);
    // The box holds the focus and hands keys on to its line edit itself.
    f->SendEdit->installEventFilter(new SendEditKeys(f, f->SendEdit));
}

void buildSystemInformation(TMainForm* f, QWidget* client) {
    QGroupBox* box = f->SystemInfoGrp =
        NewGroup(client, QStringLiteral("SystemInfoGrp"), {460, 590, 159, 117},
                 QStringLiteral("System Information"), QStringLiteral("Information about unit"));
    SetOpaque(box);
    f->SerialNumberlbl = NewLabel(box, QStringLiteral("SerialNumberlbl"), {16, 20, 73, 13},
                                  QStringLiteral("Serial Number: "));
    f->FWVersionlbl = NewLabel(box, QStringLiteral("FWVersionlbl"), {16, 36, 67, 13},
                               QStringLiteral("Firmware Ver:"));
    f->FPGAVersionlbl = NewLabel(box, QStringLiteral("FPGAVersionlbl"), {16, 52, 49, 13},
                                 QStringLiteral("FPGA Ver:"));
}

QMenu* newMenu(QWidget* parent, const QString& name, const QString& caption) {
    auto* menu = new QMenu(caption, parent);
    menu->setObjectName(name);
    return menu;
}

void buildMenus(TMainForm* f) {
    QMenuBar* bar = f->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto item = [](QMenu* menu, const char* name, const char* caption) {
        return NewAction(menu, QLatin1String(name), QLatin1String(caption));
    };

    f->File1 = newMenu(bar, QStringLiteral("File1"), QStringLiteral("File"));
    f->Exit1 = item(f->File1, "Exit1", "Exit");
    f->R1 = item(f->File1, "R1", "Restart App");

    f->buildEditMenu();
    f->Storage1 = newMenu(bar, QStringLiteral("Storage1"), QStringLiteral("Storage"));
    f->SaveToBin1 =
        newMenu(f->Storage1, QStringLiteral("SaveToBin1"), QStringLiteral("Save To Bin"));
    f->Storage1->addMenu(f->SaveToBin1);
    f->RestoreFromBin1 =
        newMenu(f->Storage1, QStringLiteral("RestoreFromBin1"), QStringLiteral("Restore From Bin"));
    f->Storage1->addMenu(f->RestoreFromBin1);
    f->RestoreBinItems[0] = item(f->RestoreFromBin1, "Default01", "Default 0");
    for (int bin = 1; bin <= 6; ++bin) {
        const QString number = QString::number(bin);
        f->SaveBinItems[bin] =
            NewAction(f->SaveToBin1, QLatin1Char('N') + number + QLatin1Char('1'), number);
        f->RestoreBinItems[bin] =
            NewAction(f->RestoreFromBin1, QLatin1Char('N') + number + QLatin1Char('2'), number);
    }
    f->SaveToFile1 = item(f->Storage1, "SaveToFile1", "Save Settings To File");
    f->RestoreSettingsFromFile1 =
        item(f->Storage1, "RestoreSettingsFromFile1", "Restore Settings From File");
    f->CompareWithFile1 = item(f->Storage1, "CompareWithFile1", "Compare With Settings File...");

    f->ools1 = newMenu(bar, QStringLiteral("ools1"), QStringLiteral("Tools"));
    f->Up1 = item(f->ools1, "Up1", "Refresh");
    f->CaptureScreenShot1 = item(f->ools1, "CaptureScreenShot1", "Capture Screen Shot");
    f->TimingDiagram1 = item(f->ools1, "TimingDiagram1", "Timing Diagram");
    f->EnableLoggingMenu = item(f->ools1, "EnableLoggingMenu", "Logging Enabled");
    f->EnableLoggingMenu->setCheckable(true);

    f->Help1 = newMenu(bar, QStringLiteral("Help1"), QStringLiteral("Help"));
    f->WebSite1 = item(f->Help1, "WebSite1", "Web Site");
    f->About1 = item(f->Help1, "About1", "About");

    for (QMenu* menu : {f->File1, f->Edit1, f->Storage1, f->ools1, f->Help1})
        bar->addMenu(menu);

    BindClick(f, f->Exit1, &TMainForm::Exit1Click);
    BindClick(f, f->R1, &TMainForm::R1Click);
    const Handler save[7] = {nullptr,
                             &TMainForm::N11Click,
                             &TMainForm::N21Click,
                             &TMainForm::N31Click,
                             &TMainForm::N41Click,
                             &TMainForm::N51Click,
                             &TMainForm::N61Click};
    const Handler restore[7] = {&TMainForm::Default01Click, &TMainForm::N12Click,
                                &TMainForm::N22Click,       &TMainForm::N32Click,
                                &TMainForm::N42Click,       &TMainForm::N52Click,
                                &TMainForm::N62Click};
    for (int bin = 0; bin <= 6; ++bin) {
        if (bin > 0)
            BindClick(f, f->SaveBinItems[bin], save[bin]);
        BindClick(f, f->RestoreBinItems[bin], restore[bin]);
    }
    BindClick(f, f->SaveToFile1, &TMainForm::SaveToFile1Click);
    BindClick(f, f->RestoreSettingsFromFile1, &TMainForm::RestoreSettingsFromFile1Click);
    BindClick(f, f->CompareWithFile1, &TMainForm::CompareWithFile1Click);
    BindClick(f, f->Up1, &TMainForm::Up1Click);
    BindClick(f, f->CaptureScreenShot1, &TMainForm::CaptureScreenShot1Click);
    BindClick(f, f->TimingDiagram1, &TMainForm::TimingDiagram1Click);
    BindClick(f, f->EnableLoggingMenu, &TMainForm::EnableLoggingMenuClick);
    BindClick(f, f->WebSite1, &TMainForm::WebSite1Click);
    BindClick(f, f->About1, &TMainForm::About1Click);
}

} // namespace

void TMainForm::BuildLayout() {
    // The artwork lives in the panel library; a static library's resources
    // must be registered by hand.
    Q_INIT_RESOURCE(pg5400);
    // Before any control exists: an interface, once made, is kept.
    pg5400::InstallAccessibleControls();

    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("5400 Pulse Generator"));
    // Sizes for every scale: the desktop picks the one nearest its need.
    QIcon icon;
    for (const char* file : {"pg5400.png", "pg5400-128.png", "pg5400-256.png"})
        icon.addFile(QStringLiteral(":/assets/") + QLatin1String(file));
    setWindowIcon(icon);
    setFont(PanelFont(11));

    // The client scrolls only where the screen is too small for it.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ClientScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    // No tab stop of its own: tabbing goes from control to control.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(pg5400::designed::Client);
    scroll->setWidget(client);
    scroll->setFixedSize(client->size());
    setCentralWidget(scroll);

    // Pictures and labels first, then the windowed controls in tab order.
    buildTopLevel(this, client);
    showBanners(qApp->devicePixelRatio());
    BuildChannelArea(this, client);
    buildTerminal(this, client);
    buildSystemInformation(this, client);
    BuildSystemArea(this, client);
    RunStopbtn =
        NewButton(client, QStringLiteral("RunStopbtn"), {524, 0, 95, 68}, QStringLiteral("Run"),
                  QStringLiteral("Starts(arms) or stops(disarms) the system"));
    SetPanelFont(RunStopbtn, 21);
    BindClick(this, RunStopbtn, &TMainForm::RunStopbtnClick);
    // Stopped until the first status poll says otherwise.
    pg5400::SetOwnedAccessibleDescription(RunStopbtn,
                                          QStringLiteral("Outputs stopped; press to run"));

    buildMenus(this);
    pg5400::NameControlsForAccessibility(this);

    // Single fixed border: the window is exactly the menu bar over the client.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    windowFit = new pg5400::WindowFit(
        this, scroll, client,
        {BlueBanner, GreenBanner, FeatureLabel, PulseAnimate, ErrorLabel, RunStopbtn});
    windowFit->onScreenChanged = [this](QScreen* screen) {
        showBanners(screen->devicePixelRatio());
    };

    if (!VersionInfo)
        VersionInfo = new TVersionInfoReader(this);
    VersionInfo->setObjectName(QStringLiteral("VersionInfo"));
    if (!MessageForm)
        MessageForm = new TMessageForm(this);
}
