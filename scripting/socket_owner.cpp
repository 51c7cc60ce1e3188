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
    // The whole table at once: proc files read line by line can end early
    // on large tables (atEnd() is true between the kernel's pages).
    const QList<QByteArray> rows = table.readAll().split('\n');
    for (qsizetype i = 1; i < rows.size(); ++i) { // row 0 is the heading
        // "sl local rem st tx:rx tr:when retrnsmt uid timeout inode ..."
        const QList<QByteArray> f = rows.at(i).simplified().split(' ');
        if (f.size() > 9 && f.at(1) == wantedLocal && f.at(2) == wantedRemote) {
            // A client that has closed already leaves an orphan or
            // time-wait row, which the kernel writes with uid 0 and inode
            // 0: that names nobody, least of all root.
            bool uidOk = false, inodeOk = false;
            const qint64 uid = f.at(7).toLongLong(&uidOk);
            const qint64 inode = f.at(9).toLongLong(&inodeOk);
            return uidOk && inodeOk && inode != 0 ? uid : -1;
        }
    }
    return -1;
}

} // namespace pg5400
