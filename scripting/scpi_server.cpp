#include "scripting/scpi_server.h"

#include "comm/command_set.h"

#include "scripting/socket_owner.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <unistd.h>

namespace pg5400 {

namespace {

// How long a client that is told goodbye may take to read it.
constexpr int kGoodbyeMs = 2000;

// A question is a line with a header (the text before its first blank) that
// ends in "?"; in a compound line any of its ";"-separated parts. Only
// questions are owed a reply.
bool isQuestion(const QString& line) {
    const QStringList parts = line.split(QLatin1Char(';'));
    return std::any_of(parts.begin(), parts.end(), [](const QString& part) {
        return part.trimmed().section(QLatin1Char(' '), 0, 0).endsWith(QLatin1Char('?'));
    });
}

// What a browser sends, which a web page can make it send to any local port:
// a request line or the Host header every request carries. No command line of
// the instrument looks like either.
bool looksLikeHttp(const QString& line) {
    static const QRegularExpression request(
        QStringLiteral("^(GET|POST|PUT|DELETE|HEAD|OPTIONS|PATCH|CONNECT|TRACE|PRI) |"
                       "^\\S+ \\S+ HTTP/\\d"));
    return request.match(line).hasMatch() ||
           line.startsWith(QStringLiteral("Host:"), Qt::CaseInsensitive);
}

// The first line so far holds a byte no command line has (a TLS hello starts
// with 0x16, binary data soon has one): no need to wait for its end.
bool startsWithForeignBytes(const QByteArray& partial) {
    for (const char c : partial) {
        if (c == '\n')
            return false;
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t' && c != '\r') || u == 0x7f)
            return true;
    }
    return false;
}

QString peerName(const QTcpSocket* socket) {
    return HostAndPort(socket->peerAddress(), socket->peerPort());
}

} // namespace

QString HostAndPort(const QHostAddress& host, quint16 port) {
    const QString name = host.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + host.toString() + QLatin1Char(']')
                             : host.toString();
    return name + QLatin1Char(':') + QString::number(port);
}

QString ServeAddressText(const ServeAddress& where) {
    return where.address.isNull() ? QString::number(where.port)
                                  : HostAndPort(where.address, where.port);
}

bool ParseServeAddress(const QString& text, ServeAddress& out, QString& error) {
    out = ServeAddress{};
    if (text.isEmpty())
        return true;
    QString host;
    QString port = text;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        host = text.left(colon);
        port = text.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const uint number = port.toUInt(&ok, 10);
    if (!ok || number > 65535) {
        error = QStringLiteral("-serve: \"%1\" is no port number (0 to 65535)").arg(port);
        return false;
    }
    out.port = quint16(number);
    if (colon >= 0) {
        if (!out.address.setAddress(host)) {
            error = QStringLiteral("-serve: \"%1\" is no IP address").arg(host);
            return false;
        }
    }
    return true;
}

ScpiServer::ScpiServer(Hooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks)) {
    retry_.setInterval(20);
    connect(&retry_, &QTimer::timeout, this, &ScpiServer::feed);
    quiet_.setSingleShot(true);
    quiet_.setInterval(QuietMs);
    connect(&quiet_, &QTimer::timeout, this, [this] {
        if (hooks_.settle)
            hooks_.settle();
    });
    heldBack_.setSingleShot(true);
    heldBack_.setInterval(1000);
    connect(&heldBack_, &QTimer::timeout, this, &ScpiServer::sayWhatWasHeldBack);
}

ScpiServer::~ScpiServer() {
    close();
}

bool ScpiServer::listen(const ServeAddress& where, QString& error) {
    const bool both = where.address.isNull();
    const QList<QHostAddress> addresses =
        both ? QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost),
                                   QHostAddress(QHostAddress::LocalHostIPv6)}
             : QList<QHostAddress>{where.address};
    quint16 port = where.port;
    QStringList failures;
    for (const QHostAddress& address : addresses) {
        auto* server = new QTcpServer(this);
        server->setMaxPendingConnections(MaxClients);
        // Port 0 lets the system choose once; the second address takes the same.
        if (!server->listen(address, port)) {
            // Only a machine without IPv6 may leave ::1 out: where another
            // program holds either address, scripts given it would reach
            // that program instead, and it could answer in our name.
            const bool noIpv6Here = both && address.protocol() == QAbstractSocket::IPv6Protocol &&
                                    server->serverError() != QAbstractSocket::AddressInUseError &&
                                    server->serverError() != QAbstractSocket::SocketAccessError;
            if (!noIpv6Here)
                failures << address.toString() + QStringLiteral(": ") + server->errorString();
            delete server;
            continue;
        }
        port = server->serverPort();
        connect(server, &QTcpServer::newConnection, this, [this, server] { accept(server); });
        servers_ << server;
    }
    if (servers_.isEmpty() || !failures.isEmpty()) {
        error = QStringLiteral("Cannot listen for scripts on port %1 (%2)")
                    .arg(where.port)
                    .arg(failures.join(QStringLiteral("; ")));
        close();
        return false;
    }
    return true;
}

quint16 ScpiServer::port() const {
    return servers_.isEmpty() ? 0 : servers_.first()->serverPort();
}

void ScpiServer::close() {
    retry_.stop();
    quiet_.stop();
    for (QTcpServer* server : std::as_const(servers_))
        server->close();
    qDeleteAll(servers_);
    servers_.clear();
    auto clients = std::move(clients_);
    clients_.clear();
    for (auto& client : clients)
        if (client->socket) {
            client->socket->disconnect(this);
            client->socket->abort();
            client->socket->deleteLater();
        }
}

ScpiServer::Client* ScpiServer::find(QTcpSocket* socket) {
    for (auto& client : clients_)
        if (client->socket == socket)
            return client.get();
    return nullptr;
}

void ScpiServer::accept(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        // On loopback every account of the machine can connect: only this
        // user's scripts (and root's) drive the instrument.
        if (socket->peerAddress().isLoopback()) {
            const qint64 owner = LoopbackPeerOwner(socket->peerAddress(), socket->peerPort(),
                                                   socket->localAddress(), socket->localPort());
            if (owner != qint64(::getuid()) && owner != 0) {
                turnAway(socket,
                         owner < 0
                             ? QStringLiteral("its owner cannot be told")
                             : QStringLiteral("it belongs to another user (uid %1)").arg(owner),
                         "? connections of another user are refused\n");
                continue;
            }
        }
        if (count(true) >= MaxNewcomers && !makeRoomForNewcomer()) {
            turnAway(socket,
                     QStringLiteral("%1 new connections have sent nothing yet").arg(MaxNewcomers),
                     "? too many clients\n");
            continue;
        }
        socket->setParent(this);
        // Qt stops reading from the system once this much waits unread, so
        // a client cannot make the panel buffer without bound.
        socket->setReadBufferSize(2 * MaxLineBytes);
        // A reply is one short line the script waits for: send it at once
        // instead of holding it for the client's acknowledgement.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Replies are short lines: a modest system buffer, so a client that
        // does not read is found out by the unread-reply limit soon.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 32 * 1024);
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->name = peerName(socket);
        client->host = socket->peerAddress().toString();
        client->lastHeard.start();
        clients_.push_back(std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    }
}

int ScpiServer::count(bool newcomers) const {
    return int(std::count_if(clients_.begin(), clients_.end(),
                             [newcomers](const auto& c) { return c->newcomer == newcomers; }));
}

ScpiServer::Client* ScpiServer::quietest(bool newcomers, qint64 ms) {
    Client* found = nullptr;
    for (auto& client : clients_)
        if (client->newcomer == newcomers && client->waiting.isEmpty() && client->inQueue == 0 &&
            client->lastHeard.hasExpired(ms) &&
            (!found || client->lastHeard.elapsed() > found->lastHeard.elapsed()))
            found = client.get();
    return found;
}

bool ScpiServer::makeRoomForNewcomer() {
    // A connection that never speaks (a browser's preconnect) must not keep
    // scripts out for long.
    Client* silent = quietest(true, NewcomerQuietMs);
    if (!silent)
        return false;
    letGo(*silent, "? connection given to a newer client after sending nothing\n", "cut off",
          QStringLiteral("it sent nothing for %1 s while a new client waited")
              .arg(NewcomerQuietMs / 1000));
    return true;
}

bool ScpiServer::admit(Client& client) {
    if (count(false) >= MaxClients && !takeOverIdleSlot()) {
        letGo(client, "? too many clients\n", "refused",
              QStringLiteral("%1 clients are connected already").arg(MaxClients));
        return false;
    }
    client.newcomer = false;
    return true;
}

bool ScpiServer::takeOverIdleSlot() {
    // Connections left open and unused must not lock every other script out:
    // the one quiet longest, with nothing in flight, gives way.
    Client* idlest = quietest(false, idleTakeoverMs_);
    if (!idlest)
        return false;
    letGo(*idlest, "? connection given to a newer client after being idle\n", "cut off",
          QStringLiteral("idle for %1 s while a new client waited")
              .arg(idlest->lastHeard.elapsed() / 1000));
    return true;
}

void ScpiServer::letGo(Client& client, const char* farewell, const char* verb, const QString& why) {
    // The farewell's write may find the client reset and end it at once (its
    // disconnected signal frees the client): take what the notice needs
    // first, let go of the client, then say goodbye.
    const QString text = QStringLiteral("Script connection from %1 %2: %3")
                             .arg(client.name, QLatin1String(verb), why);
    const QString host = client.host;
    const QPointer<QTcpSocket> socket = client.socket;
    release(socket);
    sayGoodbye(socket, farewell);
    notify(text, host, why);
}

void ScpiServer::sayGoodbye(const QPointer<QTcpSocket>& socket, const char* farewell) {
    if (!socket)
        return;
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write(farewell);
    socket->disconnectFromHost();
    // A peer that never reads would keep the closing socket for ever.
    QTimer::singleShot(kGoodbyeMs, socket, [s = socket.data()] {
        s->abort();
        s->deleteLater();
    });
}

bool ScpiServer::send(Client& client, const QByteArray& bytes) {
    // The one way out to a client: replies and refusals alike count against
    // what it has left unread.
    QTcpSocket* socket = client.socket;
    if (!socket)
        return false;
    if (socket->bytesToWrite() + bytes.size() > MaxUnreadBytes) {
        cutOff(client, QStringLiteral("it does not read its replies (%1 bytes unread)")
                           .arg(socket->bytesToWrite()));
        return false;
    }
    socket->write(bytes);
    return true;
}

void ScpiServer::turnAway(QTcpSocket* socket, const QString& why, const char* answer) {
    notify(QStringLiteral("Script connection from %1 refused: %2").arg(peerName(socket), why),
           socket->peerAddress().toString(), why);
    sayGoodbye(socket, answer);
}

void ScpiServer::notify(const QString& text, const QString& peerHost, const QString& why) {
    if (!peerHost.isEmpty()) {
        // A script (or web page) opening connections in a loop would fill the
        // terminal and the log with one line each.
        RecentNotices& recent = recentNotices_[peerHost + QLatin1Char('\n') + why];
        recent.host = peerHost;
        recent.why = why;
        if (recent.last.isValid() && !recent.last.hasExpired(heldBack_.interval())) {
            ++recent.heldBack;
            if (!heldBack_.isActive())
                heldBack_.start();
            return;
        }
        recent.last.start();
    }
    // Never from inside the server's own call path: a notice may open a box
    // (the log cannot be written), whose event loop runs this server's slots
    // and may free the client the caller still holds.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (hooks_.notice)
                hooks_.notice(text);
        },
        Qt::QueuedConnection);
}

void ScpiServer::sayWhatWasHeldBack() {
    for (auto it = recentNotices_.begin(); it != recentNotices_.end();) {
        if (it->heldBack > 0) {
            const QString text = QStringLiteral("Script connections from %1: %2 more the same "
                                                "way in the last second (%3)")
                                     .arg(it->host)
                                     .arg(it->heldBack)
                                     .arg(it->why);
            it->heldBack = 0;
            it->last.start();
            notify(text);
        }
        if (it->last.hasExpired(heldBack_.interval()))
            it = recentNotices_.erase(it);
        else
            ++it;
    }
    if (!recentNotices_.isEmpty())
        heldBack_.start();
}

void ScpiServer::readFrom(QTcpSocket* socket) {
    Client* client = find(socket);
    if (!client)
        return;
    client->lastHeard.start();
    while (socket->bytesAvailable() > 0) {
        client->partial += socket->read(MaxLineBytes);
        if (client->newcomer && startsWithForeignBytes(client->partial)) {
            cutOff(*client, QStringLiteral("its first line is no command text (a TLS hello "
                                           "from a browser, binary data?)"));
            return;
        }
        qsizetype end;
        while ((end = client->partial.indexOf('\n')) >= 0) {
            QByteArray bytes = client->partial.left(end);
            client->partial.remove(0, end + 1);
            if (bytes.endsWith('\r'))
                bytes.chop(1);
            if (bytes.size() > MaxLineBytes) {
                cutOff(*client, QStringLiteral("a line longer than %1 bytes").arg(MaxLineBytes));
                return;
            }
            if (!bytes.trimmed().isEmpty()) {
                // Blanks around a line are no part of it.
                takeLine(*client, QString::fromLatin1(bytes).trimmed());
                if (!find(socket))
                    return; // cut off
            }
        }
        if (client->partial.size() > MaxLineBytes) {
            cutOff(*client, QStringLiteral("a line longer than %1 bytes").arg(MaxLineBytes));
            return;
        }
    }
    feed();
}

void ScpiServer::takeLine(Client& client, const QString& line) {
    if (looksLikeHttp(line)) {
        cutOff(client, QStringLiteral("it sent an HTTP request (a web page?), not command lines"));
        return;
    }
    const bool commandText = communication::cmd::IsCommandText(line);
    if (client.newcomer) {
        if (!commandText) {
            cutOff(client, QStringLiteral("its first line is no command line"));
            return;
        }
        if (!admit(client))
            return;
    }
    // Anything the instrument could not take is refused here rather than sent.
    if (!commandText) {
        send(client, "? not a command line (printable characters, at most 256)\n");
        return;
    }
    if (hooks_.demo && hooks_.demo() && isQuestion(line)) {
        send(client, "? demonstration mode: no instrument to ask\n");
        return;
    }
    if (client.waiting.size() + client.inQueue >= MaxPendingLines) {
        cutOff(client, QStringLiteral("it sends faster than the instrument answers "
                                      "(%1 lines waiting)")
                           .arg(MaxPendingLines));
        return;
    }
    client.waiting << line;
}

void ScpiServer::feed() {
    bool stillWaiting = false;
    for (auto& owned : clients_) {
        Client& client = *owned;
        while (!client.waiting.isEmpty()) {
            const QString line = client.waiting.first();
            // The queue may outlive this server (a line still queued when the
            // window goes): the reply then has nowhere to go.
            QPointer<QTcpSocket> socket = client.socket;
            QPointer<ScpiServer> self(this);
            const bool taken = hooks_.submit(line, [self, socket, line](const QString& reply) {
                if (self && socket)
                    self->answered(socket, line, reply);
            });
            if (!taken) {
                // Suspended during a read-back or file operation, or the
                // queue is full: the line keeps its place and is offered again.
                stillWaiting = true;
                break;
            }
            client.waiting.removeFirst();
            ++client.inQueue;
        }
    }
    if (stillWaiting && !retry_.isActive())
        retry_.start();
    else if (!stillWaiting)
        retry_.stop();
}

void ScpiServer::answered(QTcpSocket* socket, const QString& line, const QString& reply) {
    Client* client = find(socket);
    if (!client)
        return;
    client->inQueue = std::max(0, client->inQueue - 1);
    if (isQuestion(line)) {
        // Every question gets exactly one line, so a script never waits in vain.
        const QString text =
            reply.isEmpty() ? QStringLiteral("? no reply from the instrument") : reply;
        send(*client, text.toLatin1() + '\n');
        return;
    }
    if (communication::cmd::isErrorReply(reply) && !send(*client, reply.toLatin1() + '\n'))
        return;
    // The window catches up once the scripts have paused.
    quiet_.start();
}

void ScpiServer::cutOff(Client& client, const QString& why) {
    const QString text =
        QStringLiteral("Script connection from %1 cut off: %2").arg(client.name, why);
    const QString host = client.host;
    QPointer<QTcpSocket> socket = client.socket;
    drop(socket); // the client is gone from here on
    if (socket)
        socket->abort();
    notify(text, host, why);
}

void ScpiServer::release(QTcpSocket* socket) {
    const auto it = std::find_if(clients_.begin(), clients_.end(),
                                 [socket](const auto& c) { return c->socket == socket; });
    if (it != clients_.end())
        clients_.erase(it);
    if (socket)
        socket->disconnect(this);
}

void ScpiServer::drop(QTcpSocket* socket) {
    release(socket);
    if (socket)
        socket->deleteLater();
}

} // namespace pg5400
