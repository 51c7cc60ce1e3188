#include "panel/main_form.h"

#include "comm/exchange.h"
#include "panel/terminal_view.h"
#include "serial/pgcomport.h"

#include <QCloseEvent>
#include <QTimer>

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    ComPort = new TPGComPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    ComPort->SetAllowEvents(false);
    ComPort->SetBaud(115200);
    ComPort->SetHandshaking(hsNone);
    ComPort->SetParity(parNone);
    ComPort->SetResponseTime(3000);
    ComPort->SetPort(1);
    ComPort->SetShowErrors(true);
    ComPort->SetOnTimeout([this](QObject* sender) { ComPortTimeout(sender); });
    communication::ComPort = ComPort;

    auto makeTimer = [this](const char* name, int interval, void (TMainForm::*handler)(QObject*)) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QLatin1String(name));
        timer->setInterval(interval);
        connect(timer, &QTimer::timeout, this, [this, timer, handler] { (this->*handler)(timer); });
        return timer;
    };
    StatusTimer = makeTimer("StatusTimer", 1000, &TMainForm::StatusTimerTimer);
    TaskTimer = makeTimer("TaskTimer", 5, &TMainForm::TaskTimerTimer);
    TaskTimer->setTimerType(Qt::PreciseTimer);
    LaunchTimer = makeTimer("LaunchTimer", 500, &TMainForm::LaunchTimerTimer);

    BuildLayout();
    FillChannelArrays();
    if (ResponseList)
        communication::SetTerminal(ResponseList);
}

TMainForm::~TMainForm() {
    // The exchange primitives must not reach a port or view that is gone.
    if (communication::ComPort == ComPort)
        communication::ComPort = nullptr;
    if (ResponseList && communication::Terminal() == ResponseList)
        communication::SetTerminal(nullptr);
}

int TMainForm::ChannelOf(const QObject* Sender) {
    if (!Sender)
        return 0;
    const QString name = Sender->objectName();
    if (name.isEmpty())
        return 0;
    const QChar last = name.back();
    return last >= QLatin1Char('1') && last <= QLatin1Char('8') ? last.digitValue() : 0;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}
