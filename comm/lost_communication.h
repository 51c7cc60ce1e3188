#pragma once

#include <functional>

// The dialog a reply time-out raises once start-up has finished.
namespace communication {

struct LostCommunicationActions {
    std::function<void()> stopStatusPoll;
    std::function<void()> startStatusPoll;
    std::function<void()> restart;
    std::function<void()> exit;
};

// Flushes the port, stops the status poll and asks "Communications lost.
// Restart?": Yes restarts, No exits, Ignore flushes again and polls on.
void CommunicationLost(const LostCommunicationActions& actions);

} // namespace communication
