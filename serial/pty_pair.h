#pragma once

#include <string>

namespace pty {

// A pseudo-terminal pair for the instrument side of a serial link: the
// instrument (or a test peer) holds the master, the panel opens slavePath()
// like any serial device. The pair keeps a slave descriptor of its own so the
// master does not report hang-up before the panel has opened the device, and
// sets raw mode so no byte is translated or echoed by the line discipline.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& error() const { return error_; }
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Closes both of our descriptors: the panel's side sees the device vanish.
    void close();

private:
    int master_ = -1;
    int slaveKeep_ = -1;
    std::string slavePath_;
    std::string error_;
};

} // namespace pty
