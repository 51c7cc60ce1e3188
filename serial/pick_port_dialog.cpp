#include "serial/pick_port_dialog.h"
#include "controls/work_screen.h"

#include "serial/device_kind.h"
#include "serial/pgcomport.h"
#include "serial/port_table.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {

constexpr int kLastPort = 100;

// Pixel sizes, like the main window's: the dialog's fixed layout must not
// grow or shrink with the screen's DPI setting.
QFont dialogFont(int pixels, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

TformPickPort::TformPickPort(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("formPickPort"));
    setWindowTitle(QStringLiteral("Select Serial Port"));
    setFont(dialogFont(11, true));
    setFixedSize(240, 93);

    OKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                            this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(149, 14, 77, 27);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(149, 46, 77, 27);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    GroupBox1 = new QGroupBox(QStringLiteral("Serial Port"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 130, 67);
    GroupBox1->setFont(dialogFont(13, false));

    listPorts = new QComboBox(GroupBox1);
    listPorts->setObjectName(QStringLiteral("listPorts"));
    listPorts->setGeometry(11, 25, 108, 24);
    listPorts->setEditable(false);
    // Stable names are long: the drop-down is as wide as they are.
    listPorts->view()->setMinimumWidth(360);

    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, listPorts);
    OKBtn->setFocus();
    CentreOnWorkScreen(this);
}

void TformPickPort::AddPort(int number, const QString& devicePath) {
    QString text = QStringLiteral("COM") + QString::number(number);
    QString tip = devicePath;
    // A stable name or a network address tells the user which instrument it
    // is; for a stable name the tooltip says which device node that is today.
    if (const QString name = serialport::ShortName(devicePath); !name.isEmpty())
        text += QLatin1Char(' ') + name;
    if (devicePath.contains(QStringLiteral("/serial/by-id/")))
        tip = QFileInfo(devicePath).canonicalFilePath();
    listPorts->addItem(text, number);
    listPorts->setItemData(listPorts->count() - 1, tip, Qt::ToolTipRole);
    listPorts->setCurrentIndex(-1);
}

void TformPickPort::SelectPort(int number) {
    listPorts->setCurrentIndex(listPorts->findData(number));
}

int TformPickPort::SelectedPort() const {
    if (listPorts->currentIndex() < 0)
        return 0;
    return listPorts->currentData().toInt();
}

bool TPGComPort::Pick() {
    TformPickPort dialog;
    FPickPortDlg = &dialog;
    const bool showErrors = FShowErrors;
    const int port = FPortNumber;
    // Probe silently; the number is set without the setter's reopening.
    FShowErrors = false;
    serialport::ResolvePortTable();
    const QString bound = FBoundPath;
    for (int n = 1; n <= kLastPort; ++n) {
        FPortNumber = n;
        FBoundPath.clear();
        if (Open()) {
            dialog.AddPort(n, FDevicePath);
            Close();
        }
    }
    FShowErrors = showErrors;
    FPortNumber = port;
    FBoundPath = bound;
    dialog.SelectPort(port);
    const bool confirmed = dialog.exec() == QDialog::Accepted && dialog.SelectedPort() > 0;
    if (confirmed && dialog.SelectedPort() != FPortNumber) {
        FPortNumber = dialog.SelectedPort();
        FBoundPath.clear();
    }
    FPickPortDlg = nullptr;
    return confirmed;
}
