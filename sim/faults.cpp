#include "sim/faults.h"

#include "sim/number_text.h"

#include <optional>
#include <sstream>

namespace sim {

ReplyFault Faults::faultFor(std::size_t line) const {
    const auto it = onLine.find(line);
    return it == onLine.end() ? everyLine : it->second;
}

namespace {

bool applyOne(const std::string& text, Faults& faults, std::string& error) {
    std::string name = text;
    std::optional<std::uint64_t> line;
    std::optional<std::uint64_t> value;
    if (const auto at = name.find('@'); at != std::string::npos) {
        line = text::parseCount(name.substr(at + 1));
        if (!line || *line == 0) {
            error = "bad line number in fault \"" + text + "\"";
            return false;
        }
        name.resize(at);
    }
    if (const auto eq = name.find('='); eq != std::string::npos) {
        value = text::parseCount(name.substr(eq + 1));
        if (!value) {
            error = "bad value in fault \"" + text + "\"";
            return false;
        }
        name.resize(eq);
    }
    const auto ms = [&](std::uint64_t fallback) {
        return std::chrono::milliseconds(value.value_or(fallback));
    };
    const auto needsValue = [&]() {
        if (!value)
            error = "fault \"" + name + "\" needs a value (" + name + "=MS)";
        return bool(value);
    };

    std::optional<ReplyFault> reply;
    if (name == "silent")
        reply = ReplyFault::NoReply;
    else if (name == "garbage")
        reply = ReplyFault::Garbage;
    else if (name == "nocr")
        reply = ReplyFault::NoCr;
    else if (name == "late") {
        reply = ReplyFault::Late;
        faults.lateBy = ms(faults.lateBy.count());
    }
    if (reply) {
        if (line)
            faults.onLine[*line] = *reply;
        else
            faults.everyLine = *reply;
        return true;
    }

    if (name == "disconnect") {
        if (!line) {
            error = "fault \"disconnect\" needs a line number (disconnect@N)";
            return false;
        }
        faults.disconnectAfter = *line;
        return true;
    }
    if (line) {
        error = "fault \"" + name + "\" does not take a line number";
        return false;
    }
    if (name == "delay") {
        if (!needsValue())
            return false;
        faults.replyDelay = ms(0);
        return true;
    }
    if (name == "turnaround") {
        if (!needsValue())
            return false;
        faults.turnaround = ms(0);
        return true;
    }
    if (name == "pace") {
        faults.baud = unsigned(value.value_or(faults.baud ? faults.baud : kDefaultBaud));
        if (faults.baud == 0) {
            error = "fault \"pace\" needs a baud rate above 0";
            return false;
        }
        return true;
    }
    error = "unknown fault \"" + name + "\"";
    return false;
}

} // namespace

bool applyFaultSpec(const std::string& text, Faults& faults, std::string& error) {
    std::istringstream parts(text);
    std::string part;
    bool any = false;
    while (std::getline(parts, part, ',')) {
        if (part.empty())
            continue;
        if (!applyOne(part, faults, error))
            return false;
        any = true;
    }
    if (!any)
        error = "empty fault text";
    return any;
}

} // namespace sim
