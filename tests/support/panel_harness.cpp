#include "tests/support/panel_harness.h"

#include "comm/comm_log.h"
#include "comm/discovery.h"
#include "comm/exchange.h"
#include "instrument/settings_cache.h"
#include "panel/command_queue.h"
#include "panel/panel_state.h"
#include "serial/port_table.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>

namespace testsupport {

void ResetProgramState() {
    communication::ResetExchange();
    communication::ResetDiscovery();
    communication::ResetLog();
    pg5400::ResetPanelState();
    pg5400::ResetSettingsCache();
    pg5400::ResetCommandQueue();
    serialport::SetPortTableOverride({});
}

PanelHarness::PanelHarness(const std::string& model)
    : PanelHarness([&] {
          sim::ServerOptions options;
          options.instrument.model = model;
          return options;
      }()) {}

PanelHarness::PanelHarness(const sim::ServerOptions& options)
    : stallWatch_("the test's own steps with a panel open") {
    ResetProgramState();
    server_ = std::make_unique<sim::PtyServer>(options);
    server_->start();
    serialport::SetPortTableOverride({QString::fromStdString(server_->devicePath())});
    TMainForm::StartDetached = [this](const QString&, const QStringList& arguments) {
        ++restarts_;
        restartArguments_ = arguments;
        return true;
    };
    form_ = std::make_unique<TMainForm>();
}

PanelHarness::~PanelHarness() {
    if (form_) {
        form_->StatusTimer->stop();
        form_->TaskTimer->stop();
        form_->LaunchTimer->stop();
    }
    form_.reset();
    server_.reset();
    ResetProgramState();
}

bool PanelHarness::start(const TMainForm::StartOptions& options) {
    if (!server_->ok()) {
        qWarning("the simulated instrument did not start: %s", server_->error().c_str());
        return false;
    }
    const WaitingFor waiting("the panel to reach its simulated instrument at " +
                             server_->devicePath());
    // Whatever holds the start-up (a box nobody expected, a wait that never
    // ends), the test ends within 30 s and says why.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
        qFatal("the panel did not reach its simulated instrument at %s within 30 s "
               "(boxes answered: %s)",
               server_->devicePath().c_str(),
               qPrintable(answers_.texts().join(QStringLiteral(" | "))));
    });
    watchdog.start(30000);
    if (!form_->FormCreate(options)) {
        qWarning("the panel could not reach its simulated instrument at %s: %s",
                 server_->devicePath().c_str(),
                 qPrintable(communication::ScanFindings().join(QStringLiteral("; "))));
        return false;
    }
    form_->show();
    // The first read-back runs from the launch timer, 500 ms after start-up.
    // (Starting it at once made a re-entry test's read-back disagree with
    // the screen: the pause hides a race still to be found.)
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && form_->LaunchTimer->isActive())
        QTest::qWait(10);
    return waitIdle();
}

bool PanelHarness::waitIdle(std::chrono::milliseconds timeout) {
    const WaitingFor waiting("the panel to be idle");
    QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        if (!form_->Busy() && !pg5400::TaskBusy && !pg5400::StatusBusy &&
            !pg5400::CommandsPending && pg5400::TaskList.RefreshRequested == 0 &&
            pg5400::RecallRequested == 0 && !form_->LaunchTimer->isActive())
            return true;
        QTest::qWait(5);
    }
    return false;
}

bool PanelHarness::waitForLineCount(std::size_t count, std::chrono::milliseconds timeout) {
    const WaitingFor waiting(std::to_string(count) + " lines at the instrument");
    QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        if (server_->transcript().received() >= count)
            return true;
        QTest::qWait(5);
    }
    return false;
}

std::size_t PanelHarness::mark() const {
    return server_->transcript().received();
}

std::vector<std::string> PanelHarness::linesSince(std::size_t mark) const {
    const std::vector<std::string> all = server_->lines();
    if (mark >= all.size())
        return {};
    return {all.begin() + std::ptrdiff_t(mark), all.end()};
}

std::vector<std::string> PanelHarness::setLinesSince(std::size_t mark) const {
    std::vector<std::string> sets;
    for (const std::string& line : linesSince(mark))
        if (line.empty() || line.back() != '?')
            sets.push_back(line);
    return sets;
}

} // namespace testsupport
