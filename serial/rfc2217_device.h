#pragma once

#include "serial/tcp_device.h"
#include "serial/telnet_codec.h"

namespace serialport {

// A serial port served over Telnet with serial port control (RFC 2217, as
// ser2net's "telnet(rfc2217)" accepter serves it): the panel's own line
// settings are set at the server, IAC bytes are escaped both ways, and the
// server's Telnet commands never reach the data.
class Rfc2217Device : public TcpDevice {
public:
    // The server's answers to each setting, per configure; longer than a
    // round trip to any lab's serial server.
    static constexpr int kSettingsLimitMs = 1000;

    bool readSettingsOk() const override;
    // False when the server did not acknowledge every setting, or
    // acknowledged another value than the one asked for.
    bool configure(int baud, FlowControl flow, ParityMode parity) override;

protected:
    // Opens the Telnet session; fails unless the server agrees to serial
    // port control by the deadline, since it would keep settings of its own.
    bool greet(const NetworkAddress& address, const QDeadlineTimer& deadline) override;
    void decode(const char* bytes, qsizetype size, QByteArray& data) override;
    void afterDecode() override;
    QByteArray encode(const QByteArray& data) const override { return TelnetCodec::escape(data); }
    qint64 dataBytesIn(const QByteArray& data, qint64 wireBytes) const override {
        return TelnetCodec::dataBytesIn(data, wireBytes);
    }

private:
    static constexpr qsizetype kMostOwed = 64 * 1024;
    TelnetCodec codec_;
    QByteArray owed_; // Telnet answers decoding produced, not yet sent
};

} // namespace serialport
