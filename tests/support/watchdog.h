#pragma once

#include <string>

namespace testsupport {

// Ends the test process with a failure and a message when the GUI thread has
// not come back to its event loop for StallLimitSeconds (30, or
// PG_WATCHDOG_SECONDS): a panel stuck in a blocking call cannot run a timer,
// so the watch runs on a thread of its own. Armed while at least one
// StallWatch lives (a harness holds one); `what` names what the test waits
// for and is printed with the failure.
class StallWatch {
public:
    explicit StallWatch(std::string what);
    ~StallWatch();
    StallWatch(const StallWatch&) = delete;
    StallWatch& operator=(const StallWatch&) = delete;
};

// Names the wait of the innermost watch for its lifetime, then restores it.
class WaitingFor {
public:
    explicit WaitingFor(std::string what);
    ~WaitingFor();

private:
    std::string previous_;
};

int StallLimitSeconds();

} // namespace testsupport
