#pragma once

#include <QHostAddress>

// The user who owns the other end of a loopback TCP connection, asked of the
// kernel's socket diagnostics for exactly that address pair, or read from its
// socket tables (/proc/net/tcp and tcp6) where that query is not offered: the
// client's socket is the one whose local end is the connection's peer and
// whose remote end is ours. -1 when no such entry is found, or when it is no full socket (a
// client that has closed leaves a row without owner): its owner cannot be
// told, and the caller refuses it.
namespace pg5400 {

qint64 LoopbackPeerOwner(QHostAddress peer, quint16 peerPort, QHostAddress local,
                         quint16 localPort);

} // namespace pg5400
