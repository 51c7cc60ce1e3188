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

private:
    void readSignals();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace pg5400
