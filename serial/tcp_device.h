#pragma once

#include "serial/device.h"
#include "serial/network_address.h"

#include <QDeadlineTimer>
#include <functional>

struct addrinfo;

namespace serialport {

// How host names are looked up (getaddrinfo's form); tests put in one that
// never answers. An empty function brings back getaddrinfo.
using NameResolver =
    std::function<int(const char* host, const char* port, const addrinfo* hints, addrinfo** out)>;
void SetNameResolver(NameResolver resolve);
// True while a look-up runs (one given up on included): an open that needs
// another fails at once until it ends.
bool NameLookUpInFlight();

// A serial port served over TCP as raw bytes (ser2net's "tcp" accepter). The
// server holds the line settings; the URL is the port's lasting name, so no
// locks or other-opener checks apply. Received bytes are kept in a buffer of
// our own, so a subclass can take its protocol out of them first.
class TcpDevice : public Device {
public:
    // The whole of an open, name look-up aside: a scan must not hang on an
    // address that does not answer.
    static constexpr int kOpenLimitMs = 1000;
    // The name look-up's own limit, on the look-up thread: a name server
    // that stays silent must not hold the window.
    static constexpr int kLookUpLimitMs = 1000;

    TcpDevice() = default;
    ~TcpDevice() override;

    bool open(const QString& path) override;
    const OpenFailure& lastFailure() const override { return failure_; }
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    // The server's own settings apply: there is nothing to read or set.
    bool readSettingsOk() const override { return false; }
    bool configure(int baud, FlowControl flow, ParityMode parity) override;

    void flush() override;
    int inCount() override;
    QByteArray readWaiting(int maxBytes, bool* ok = nullptr) override;
    qint64 writeAll(const QByteArray& data) override;
    bool waitReadable(int timeoutMs, bool* hungUp = nullptr) override;
    bool hungUp() const override;
    void setEventPump(std::function<void()> pump) override { pump_ = std::move(pump); }

protected:
    // After the connection is made: the protocol's opening, done by the
    // deadline; false (with the failure set) ends the open.
    virtual bool greet(const NetworkAddress& address, const QDeadlineTimer& deadline);
    // Turns bytes off the wire into data appended to data.
    virtual void decode(const char* bytes, qsizetype size, QByteArray& data);
    // After a pass of decoding: answers the protocol owes go out here, never
    // from inside decode.
    virtual void afterDecode() {}
    // Data as it must cross the wire, and how many data bytes the first
    // wireBytes of it carry.
    virtual QByteArray encode(const QByteArray& data) const { return data; }
    virtual qint64 dataBytesIn(const QByteArray&, qint64 wireBytes) const { return wireBytes; }

    // Sends protocol bytes; false when the connection failed.
    bool sendWire(const QByteArray& wire);
    // Sends what the socket takes now, without waiting; the bytes sent.
    qsizetype sendNow(const QByteArray& wire);
    // Takes what the socket holds through decode, waiting up to timeoutMs
    // for the first bytes; false when the peer closed or the socket failed.
    bool receive(int timeoutMs = 0);
    // Records why the open failed, for the user; always false.
    bool setFailure(const QString& detail, int error = 0);

private:
    int fd_ = -1;
    bool peerGone_ = false;  // closed by the peer or failed; found by receive
    qsizetype lastSent_ = 0; // wire bytes the last sendWire got out
    OpenFailure failure_;
    std::function<void()> pump_; // runs while the name look-up waits
    QByteArray in_;              // data received and not yet read
};

} // namespace serialport
