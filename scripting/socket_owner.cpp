#include "scripting/socket_owner.h"

#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

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

// The kernel's socket-diagnostics answer for the one socket whose local end
// is `self` and whose remote end is `other`: its owner, or -1 where it is no
// full socket (a time-wait or orphan entry has inode 0). Unknown (nullopt)
// where the kernel offers no such query (the module is missing, the call is
// refused): the caller then reads the tables.
std::optional<qint64> askTheKernel(const QHostAddress& self, quint16 selfPort,
                                   const QHostAddress& other, quint16 otherPort) {
    const bool v4 = self.protocol() == QAbstractSocket::IPv4Protocol;
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0)
        return std::nullopt;
    const timeval patience{0, 200 * 1000}; // the kernel answers at once or not at all
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } ask{};
    ask.header.nlmsg_len = sizeof ask;
    ask.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    ask.header.nlmsg_flags = NLM_F_REQUEST; // one socket, no dump
    ask.request.sdiag_family = v4 ? AF_INET : AF_INET6;
    ask.request.sdiag_protocol = IPPROTO_TCP;
    ask.request.idiag_states = ~0u;
    ask.request.id.idiag_sport = htons(selfPort);
    ask.request.id.idiag_dport = htons(otherPort);
    ask.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    ask.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    const auto put = [v4](const QHostAddress& address, __be32* into) {
        if (v4) {
            into[0] = htonl(address.toIPv4Address());
        } else {
            const Q_IPV6ADDR bytes = address.toIPv6Address();
            std::memcpy(into, bytes.c, 16);
        }
    };
    put(self, ask.request.id.idiag_src);
    put(other, ask.request.id.idiag_dst);
    std::optional<qint64> owner;
    alignas(nlmsghdr) char answer[8192];
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &ask, sizeof ask, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) ==
        ssize_t(sizeof ask)) {
        const ssize_t n = ::recv(fd, answer, sizeof answer, 0);
        const auto* reply = reinterpret_cast<const nlmsghdr*>(answer);
        if (n >= ssize_t(sizeof(nlmsghdr)) && NLMSG_OK(reply, size_t(n))) {
            if (reply->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
                reply->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg))) {
                const auto* m = static_cast<const inet_diag_msg*>(NLMSG_DATA(reply));
                owner = m->idiag_inode != 0 ? qint64(m->idiag_uid) : -1;
            } else if (reply->nlmsg_type == NLMSG_ERROR &&
                       reply->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
                // No such socket is an answer (nobody owns it); a query the
                // kernel cannot serve is not.
                const int error = -static_cast<const nlmsgerr*>(NLMSG_DATA(reply))->error;
                if (error == ENOENT)
                    owner = -1;
            }
        }
    }
    ::close(fd);
    return owner;
}

} // namespace

qint64 LoopbackPeerOwner(QHostAddress peer, quint16 peerPort, QHostAddress local,
                         quint16 localPort) {
    // A dual-stack listener sees 127.0.0.1 as ::ffff:127.0.0.1; the client's
    // own socket is an IPv4 one.
    bool mapped = false;
    const quint32 v4peer = peer.toIPv4Address(&mapped);
    if (mapped && peer.protocol() == QAbstractSocket::IPv6Protocol) {
        peer = QHostAddress(v4peer);
        local = QHostAddress(local.toIPv4Address());
    }
    if (const std::optional<qint64> owner = askTheKernel(peer, peerPort, local, localPort))
        return *owner;
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
