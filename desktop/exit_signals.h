#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace pg5400 {

// SIGTERM (logout, a service stop, kill), SIGHUP (the terminal closed) and
// SIGINT (Ctrl+C) end the program the way File > Exit does. The handler only
// writes the signal's number to a pipe; the event loop reads it and calls
// `onSignal`, so it is safe from inside a reply wait. A second SIGINT while
// that shutdown hangs ends the process at once. One instance at a time; the
// default actions come back when it goes.
class ExitSignals : public QObject {
public:
    explicit ExitSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~ExitSignals() override;

    // Serves the signals that came meanwhile: from the event loop, and from
    // a stretch that runs none (the start-up scan).
    void serveWaiting();

private:
    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

// A closed pipe on standard error (the terminal of `pg5400 2>&1 | tee` gone)
// or a log at the file-size limit must not end the program: SIGPIPE and
// SIGXFSZ are ignored, and the write that met them fails instead (the log
// already handles a short write). Called first thing in main().
void IgnoreBrokenOutputSignals();

} // namespace pg5400
