#pragma once

#include "serial/device.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <algorithm>
#include <functional>
#include <memory>

#include <QDialog>

enum THandshake : quint8 { hsNone, hsHardware, hsAssertAll };
enum TParity : quint8 { parNone, parEven, parOdd };

// The one serial connection to the instrument: opens COM n (a tty device or
// a network port, see serialport::MakeDevice) with fixed line settings,
// writes byte strings and reads one reply up to an end-of-response marker
// within a time limit. Everything runs on the GUI thread; while a read waits
// with AllowEvents set, GUI events are processed, and the in-use flag
// refuses a nested read.
class TPGComPort : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit TPGComPort(QObject* owner = nullptr);
    ~TPGComPort() override;

    bool Open();
    void Close();
    void Flush();
    bool Write(const QByteArray& sData);
    bool WriteRaw(const char* bData, int bSize);
    // The bytes the last write got out (all of them when it succeeded).
    qint64 LastWritten() const { return FLastWritten; }
    // One reply up to the end-of-response marker, or what is waiting.
    void Read(QByteArray& text);
    QByteArray Read();
    // The bytes waiting, read in one go (the count is the result's size).
    QByteArray ReadRaw();
    bool Pick();

    bool AllowEvents() const { return FAllowEvents; }
    void SetAllowEvents(bool v) { FAllowEvents = v; }
    int Baud() const { return FBaudRate; }
    void SetBaud(int v);
    QByteArray EndOfResponse() const { return FEndOfResponse; }
    void SetEndOfResponse(const QByteArray& v);
    QByteArray EndOfResponseRaw() const { return FEndOfResponseRaw; }
    THandshake Handshaking() const { return FHandshake; }
    void SetHandshaking(THandshake v);
    TParity Parity() const { return FParity; }
    void SetParity(TParity v);
    int InCount() const;
    bool State() const;
    bool InUse() const { return FPortInUse; }
    quint32 ResponseTime() const { return FResponseTime; }
    void SetResponseTime(quint32 v) { FResponseTime = v; }
    // What a reply wait runs between its polls while AllowEvents is set; by
    // default every pending event. The owner narrows it (user input is kept
    // for later while a reply is awaited).
    void SetEventPump(std::function<void()> pump) { FEventPump = std::move(pump); }
    TNotifyEvent OnTimeout() const { return FOnTimeout; }
    void SetOnTimeout(TNotifyEvent v) { FOnTimeout = std::move(v); }
    bool Opened() const { return FDevice && FDevice->isOpen(); }
    // True when the open device is gone (instrument unplugged, pseudo-terminal
    // or network connection closed) or the port is closed; the port itself is
    // left as it is.
    bool DeviceGone() const { return !FDevice || FDevice->hungUp(); }
    int Port() const { return FPortNumber; }
    void SetPort(int v);
    bool ShowErrors() const { return FShowErrors; }
    void SetShowErrors(bool v) { FShowErrors = v; }
    bool TimedOut() const { return FTimedOut; }
    QByteArray Version() const { return FVersion; }
    void SetVersion(const QByteArray&) {}

    // The device path or network URL of the open port (empty when closed).
    QString DevicePath() const { return FDevicePath; }
    // The device the port was last opened at: every reopen uses it (or
    // fails), whatever COM n means by then. Cleared when the port number
    // changes.
    QString BoundDevice() const { return FBoundPath; }
    // True when the port was open and its device is gone now (unplugged,
    // pseudo-terminal or connection closed); a closed port is not gone.
    bool Vanished() const { return Opened() && FDevice->hungUp(); }
    // Why the last Open failed (none when it did not).
    const serialport::OpenFailure& LastOpenFailure() const;
    // Demonstration mode: the port never opens, so nothing reaches any device.
    void SetOpenAllowed(bool v) { FOpenAllowed = v; }
    // The port selection dialog while Pick shows it.
    QDialog* PickPortDialog() const { return FPickPortDlg; }

    // "#13#10" and the like turned into the marker's bytes.
    static QByteArray DecodeEndOfResponse(const QByteArray& text);

private:
    void reopenIfOpen();
    bool askRetry(const QString& text) const;
    void showMessage(const QString& text) const;
    // What a wait runs meanwhile: the event pump set, or the event loop's events.
    void pumpEvents();

    bool FAllowEvents = false;
    qint64 FLastWritten = 0;
    bool FOpening = false; // an open waits (on a name server) with events running
    int FBaudRate = 9600;
    THandshake FHandshake = hsNone;
    TParity FParity = parNone;
    QByteArray FEndOfResponse;
    QByteArray FEndOfResponseRaw;
    // Made at each open for the kind of device the path names; kept after a
    // failed open for its failure.
    std::unique_ptr<serialport::Device> FDevice;
    QString FDevicePath;
    QString FBoundPath;
    bool FOpenAllowed = true;
    bool FPortInUse = false;
    int FPortNumber = 1;
    QPointer<QDialog> FPickPortDlg;
    quint32 FResponseTime = 1000;
    bool FShowErrors = true;
    bool FTimedOut = false;
    QByteArray FVersion = "2.0.2";
    TNotifyEvent FOnTimeout;
    std::function<void()> FEventPump;
};

// While it lives, replies the port waits for may well not come (a probe):
// they have a short limit of their own and no time-out handler, so no box
// opens and nothing restarts the poll. Both come back when it goes.
class TQuietReplies {
public:
    TQuietReplies(TPGComPort* port, quint32 limitMs)
        : port_(port), onTimeout_(port->OnTimeout()), responseTime_(port->ResponseTime()) {
        port->SetOnTimeout({});
        port->SetResponseTime(std::min(limitMs, responseTime_));
    }
    ~TQuietReplies() {
        if (port_) { // events run while it waited may have ended the port
            port_->SetOnTimeout(onTimeout_);
            port_->SetResponseTime(responseTime_);
        }
    }
    TQuietReplies(const TQuietReplies&) = delete;
    TQuietReplies& operator=(const TQuietReplies&) = delete;

private:
    QPointer<TPGComPort> port_;
    TPGComPort::TNotifyEvent onTimeout_;
    quint32 responseTime_;
};
