// The command socket for scripts beside the panel: its lines take their turn
// in the command queue like typed ones, and the window catches up with what
// the scripts changed.
#include "comm/comm_log.h"
#include "comm/exchange.h"
#include "comm/terminal_sink.h"
#include "panel/main_form.h"
#include "panel/panel_state.h"
#include "scripting/scpi_server.h"

#include <QTimer>
#include <cstdio>

using namespace pg5400;

void TMainForm::startCommandSocket(const ServeAddress& where) {
    ScpiServer::Hooks hooks;
    hooks.submit = [this](const QString& line, ScriptReply onReply) {
        return enqueueLine(line, std::move(onReply)) == QueueResult::Queued;
    };
    hooks.demo = [] { return DemoMode; };
    hooks.settle = [this] {
        if (DemoMode || communication::ShutdownBegun)
            return;
        // As Tools > Refresh: after whatever runs now, a full read-back.
        Up1Click(Up1);
    };
    hooks.notice = [](const QString& text) {
        communication::EchoToTerminal(text, QColor(Qt::red));
        communication::LogNote(text);
    };
    commandSocket = new ScpiServer(std::move(hooks), this);
    QString error;
    if (!commandSocket->listen(where, error)) {
        // The panel works on without it; the user learns why at once.
        std::fprintf(stderr, "pg5400: %s\n", qPrintable(error));
        communication::EchoToTerminal(error, QColor(Qt::red));
        communication::LogNote(error);
    }
}
