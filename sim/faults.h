#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>

namespace sim {

enum class ReplyFault {
    None,
    NoReply, // the line is not answered
    Garbage, // a line of noise ending in CR LF instead of the reply
    NoCr,    // the reply ends in LF only, so a reader waiting for CR never sees its end
    Late,    // the reply comes after Faults::lateBy on top of the usual wait
};

// Faults injected by the pty server. Line numbers count the lines received
// since the server started, from 1.
struct Faults {
    std::chrono::milliseconds turnaround{0}; // the instrument's own time per line
    std::chrono::milliseconds replyDelay{0}; // added before every reply
    ReplyFault everyLine = ReplyFault::None;
    std::map<std::size_t, ReplyFault> onLine; // overrides everyLine for single lines
    // Replies given in place of the instrument's to these exact lines, for
    // replies a healthy simulator never gives (an unknown keyword, say).
    std::map<std::string, std::string> replyFor;
    std::chrono::milliseconds lateBy{3000};
    unsigned baud = 0;               // pace echo and reply bytes at this rate; 0: no pacing
    std::size_t disconnectAfter = 0; // vanish after answering this line; 0: never
    // (add a NoReply for the same line to vanish in the middle of an exchange)

    ReplyFault faultFor(std::size_t line) const;
};

constexpr unsigned kDefaultBaud = 115200;

// Applies one fault text of the form NAME[=VALUE][@LINE], or several joined by
// ",". Names: delay=MS, turnaround=MS, silent, garbage, nocr, late[=MS] (each
// of these four for every line or, with @LINE, for that line only), pace[=BAUD],
// disconnect@LINE. Returns false with a message for a text it does not know.
bool applyFaultSpec(const std::string& text, Faults& faults, std::string& error);

} // namespace sim
