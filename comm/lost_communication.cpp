#include "comm/lost_communication.h"

#include "comm/exchange.h"
#include "serial/pgcomport.h"

#include <QMessageBox>

namespace communication {

namespace {

void flushPort() {
    if (ComPort && !ShutdownBegun)
        ComPort->Flush();
}

} // namespace

void CommunicationLost(const LostCommunicationActions& actions) {
    flushPort();
    if (actions.stopStatusPoll)
        actions.stopStatusPoll();
    const auto answer = QMessageBox::warning(
        nullptr, QStringLiteral("Warning"), QStringLiteral("Communications lost. Restart?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Ignore);
    if (answer == QMessageBox::Yes) {
        if (actions.restart)
            actions.restart();
    } else if (answer == QMessageBox::No) {
        if (actions.exit)
            actions.exit();
    } else {
        flushPort();
        if (actions.startStatusPoll)
            actions.startStatusPoll();
    }
}

} // namespace communication
