#pragma once

#include <QString>
#include <optional>

namespace serialport {

// Where a network port is served: "tcp://HOST:PORT" carries the raw bytes,
// "rfc2217://HOST:PORT" is Telnet with serial port control. An IPv6 host
// is written in brackets ("tcp://[::1]:4001").
struct NetworkAddress {
    enum Scheme { Tcp, Rfc2217 };
    Scheme scheme = Tcp;
    QString host;
    quint16 port = 0;

    // True when the path names a network port at all (by its scheme), well
    // formed or not: such a path is never looked for among the devices.
    static bool IsNetworkPath(const QString& path);
    // The address, or nothing with why set to a line for the user.
    static std::optional<NetworkAddress> Parse(const QString& url, QString* why = nullptr);
    // "HOST:PORT", brackets kept for IPv6.
    QString hostAndPort() const;
};

} // namespace serialport
