#include "scripting/socket_owner.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

namespace pg5400 {

namespace {

// An address and port as the tables write them: the address's bytes in
// memory order, read as native 32-bit words, in hex; the port in hex.
QByteArray tableForm(const QHostAddress& address, quint16 port) {
    QByteArray out;
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    if (v4 && address.protocol() == QAbstractSocket::IPv4Protocol) {
        out = QByteArray::number(qToBigEndian(ip), 16).rightJustified(8, '0');
    } else {
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        for (int i = 0; i < 16; i += 4) {
            quint32 word = 0;
            std::memcpy(&word, &bytes.c[i], sizeof word);
            out += QByteArray::number(word, 16).rightJustified(8, '0');
        }
    }
    return (out + ':' + QByteArray::number(port, 16).rightJustified(4, '0')).toUpper();
}

} // namespace

qint64 LoopbackPeerOwner(const QHostAddress& peer, quint16 peerPort, const QHostAddress& local,
                         quint16 localPort) {
    const bool v4 = peer.protocol() == QAbstractSocket::IPv4Protocol;
    QFile table(v4 ? QStringLiteral("/proc/net/tcp") : QStringLiteral("/proc/net/tcp6"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wantedLocal = tableForm(peer, peerPort);
    const QByteArray wantedRemote = tableForm(local, localPort);
    table.readLine(); // the heading
    while (!table.atEnd()) {
        // "sl local rem st tx:rx tr:when retrnsmt uid ..."
        const QList<QByteArray> f = table.readLine().simplified().split(' ');
        if (f.size() > 7 && f.at(1) == wantedLocal && f.at(2) == wantedRemote) {
            bool ok = false;
            const qint64 uid = f.at(7).toLongLong(&ok);
            return ok ? uid : -1;
        }
    }
    return -1;
}

} // namespace pg5400
