#pragma once

#include "panel/main_form.h"
#include "sim/pty_server.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/watchdog.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// A whole panel against the simulated instrument on a pseudo-terminal, for
// system tests: the real start-up, scan, read-back and serial code run; the
// simulator's transcript shows what crossed the wire. Modal boxes are
// answered by `answers` (OK unless told otherwise).
class PanelHarness {
public:
    explicit PanelHarness(const std::string& model = "5404+");
    PanelHarness(const sim::ServerOptions& options);
    ~PanelHarness();

    // FormCreate, show, and wait until the first read-back has finished.
    bool start(const TMainForm::StartOptions& options = {});
    // Waits until no read-back or task tick is running and the queue is empty.
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits until the instrument has received `count` lines in all.
    bool waitForLineCount(std::size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));

    TMainForm* form() const { return form_.get(); }
    sim::PtyServer& instrument() { return *server_; }
    ModalAnswerer& answers() { return answers_; }

    // Lines received since a mark, in order; setLines leaves out queries.
    std::size_t mark() const;
    std::vector<std::string> linesSince(std::size_t mark) const;
    std::vector<std::string> setLinesSince(std::size_t mark) const;

    // Restarts the panel would have made (RestartApp never spawns in tests).
    int restarts() const { return restarts_; }
    QStringList restartArguments() const { return restartArguments_; }

private:
    StallWatch stallWatch_; // first: it outlives the panel's destruction
    std::unique_ptr<sim::PtyServer> server_;
    std::unique_ptr<TMainForm> form_;
    ModalAnswerer answers_;
    int restarts_ = 0;
    QStringList restartArguments_;
};

// Brings every program-wide module back to its start state.
void ResetProgramState();

} // namespace testsupport
