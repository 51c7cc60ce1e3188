#pragma once

#include <QHostAddress>
#include <QString>

namespace pg5400 {

// Where the command socket listens: both loopback addresses unless the user
// names one.
struct ServeAddress {
    QHostAddress address; // null: 127.0.0.1 and ::1
    quint16 port = 5025;
};

// Reads "", "PORT", "ADDRESS:PORT" or "[IPv6]:PORT" (the text after
// "-serve="); false with a message for anything else.
bool ParseServeAddress(const QString& text, ServeAddress& out, QString& error);
// "HOST:PORT", an IPv6 host in brackets.
QString HostAndPort(const QHostAddress& host, quint16 port);
// The text ParseServeAddress reads back as this address ("PORT" where the
// address is null).
QString ServeAddressText(const ServeAddress& where);

} // namespace pg5400
