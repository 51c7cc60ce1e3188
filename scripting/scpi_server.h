#pragma once

#include "scripting/serve_address.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace pg5400 {

// Called with the instrument's reply once a line has been sent (empty when
// none came).
using ScriptReply = std::function<void(const QString& reply)>;

// A raw-socket command port for scripts beside the panel. Each line a client
// sends goes through the panel's command queue, so it takes turns with edits,
// the poll and read-backs; a question's reply goes back to that client alone,
// ending in LF. Set lines get an answer only when the instrument answered
// with an error. Memory stays bounded: long lines, too many clients, clients
// that send faster than the instrument answers or do not read their replies
// are cut off. On loopback only this user's (and root's) clients are served.
// A new connection is on probation until its first line proves to be command
// text: until then it holds none of the MaxClients slots and cannot evict an
// idle client, and a first line that is anything else (HTTP from a web page
// making the browser connect, a TLS hello, binary data) cuts it off before
// any of its lines is queued.
class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxClients = 4;
    static constexpr int MaxLineBytes = 4096;
    static constexpr int MaxPendingLines = 32;          // per client, waiting or in the queue
    static constexpr int QuietMs = 400;                 // client quiet time before the read-back
    static constexpr qint64 MaxUnreadBytes = 64 * 1024; // replies a client has not read
    // A client quiet this long, with nothing in flight, gives its slot to a
    // new one when all are taken.
    static constexpr qint64 IdleTakeoverMs = 10000;
    // Connections that have not sent a command line yet, beside MaxClients;
    // one silent this long gives its place to the next newcomer.
    static constexpr int MaxNewcomers = 4;
    static constexpr qint64 NewcomerQuietMs = 3000;

    struct Hooks {
        // Hands one line to the command queue; false when it cannot take it
        // now (a read-back runs, or it is full): the line is offered again.
        std::function<bool(const QString& line, ScriptReply onReply)> submit;
        // True without an instrument: questions get an error, nothing is sent.
        std::function<bool()> demo;
        // Brings the window up to date after clients changed settings.
        std::function<void()> settle;
        // Says something the user should know (terminal and log).
        std::function<void(const QString& text)> notice;
    };

    explicit ScpiServer(Hooks hooks, QObject* parent = nullptr);
    ~ScpiServer() override;

    // False with a message when no address could be listened on.
    bool listen(const ServeAddress& where, QString& error);
    // The port listened on (the one chosen by the system for port 0).
    quint16 port() const;
    int clientCount() const { return int(clients_.size()); }
    // How long a client must be quiet before it gives way (IdleTakeoverMs).
    void setIdleTakeoverMs(qint64 ms) { idleTakeoverMs_ = ms; }
    // Closes every connection and stops listening.
    void close();

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        QString name;            // "127.0.0.1:40312", for notices
        QString host;            // "127.0.0.1", notices alike are counted by it
        QByteArray partial;      // bytes of a line not yet ended
        QStringList waiting;     // lines the queue could not take yet
        int inQueue = 0;         // lines handed over, reply not yet back
        QElapsedTimer lastHeard; // since its last line (or its connection)
        bool newcomer = true;    // no command line from it yet
    };

    void accept(QTcpServer* server);
    void readFrom(QTcpSocket* socket);
    void takeLine(Client& client, const QString& line);
    void feed(); // hands waiting lines to the queue, oldest first
    void answered(QTcpSocket* socket, const QString& line, const QString& reply);
    void cutOff(Client& client, const QString& why);
    // Writes to a client within MaxUnreadBytes, or cuts it off (false).
    bool send(Client& client, const QByteArray& bytes);
    // A last line, then a graceful close (aborted if the peer never reads).
    void sayGoodbye(const QPointer<QTcpSocket>& socket, const char* farewell);
    bool takeOverIdleSlot();
    // The client quiet longest (at least ms) with nothing in flight, among
    // the newcomers or among the scripts.
    Client* quietest(bool newcomers, qint64 ms);
    // Forgets a client, then tells it why with a last line; the notice says
    // it was "cut off" or "refused" (verb).
    void letGo(Client& client, const char* farewell, const char* verb, const QString& why);
    // A newcomer's place for the one that arrives now, if one has been
    // silent long enough to give it up.
    bool makeRoomForNewcomer();
    // A newcomer's first command line: it takes a slot, or is turned away.
    bool admit(Client& client);
    int count(bool newcomers) const;
    void turnAway(QTcpSocket* socket, const QString& why, const char* answer);
    // Hands a notice on from the event loop; of several alike (one peer
    // host, one reason) within a second only the first is shown, then how
    // many followed.
    void notify(const QString& text, const QString& peerHost = {}, const QString& why = {});
    void sayWhatWasHeldBack();
    void drop(QTcpSocket* socket);
    // Forgets the client of a socket and stops listening to it.
    void release(QTcpSocket* socket);
    Client* find(QTcpSocket* socket);

    Hooks hooks_;
    QList<QTcpServer*> servers_;
    std::vector<std::unique_ptr<Client>> clients_;
    QTimer retry_; // lines wait while commands are suspended or the queue is full
    QTimer quiet_; // the read-back once clients' set lines have stopped
    struct RecentNotices {
        QElapsedTimer last; // since the last notice shown about this host
        int heldBack = 0;
        QString host, why;
    };
    QHash<QString, RecentNotices> recentNotices_;
    QTimer heldBack_;
    qint64 idleTakeoverMs_ = IdleTakeoverMs;
};

} // namespace pg5400
