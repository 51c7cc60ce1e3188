#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// ser2net from the system serving one device on 127.0.0.1, run in the
// foreground from a configuration file of its own, on a free port: what a lab
// runs on the small computer an instrument is plugged into.
class Ser2netServer {
public:
    enum class Accepter { Raw, Rfc2217 };

    // The ser2net program, or empty when it is not installed.
    static QString Program();

    // lineSettings are ser2net's own for the device ("9600n81" and the like):
    // what it uses until a client sets others.
    Ser2netServer(const QString& device, Accepter accepter,
                  const QString& lineSettings = QStringLiteral("2400o72"));
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // Starts it and waits until it listens; false with error() set.
    bool start();
    QString error() const { return error_; }
    // "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT".
    QString url() const;
    // Ends it at once (SIGKILL), as when its computer goes away: its
    // connections close without a word.
    void kill();

private:
    bool startOn(quint16 port);

    QString device_;
    Accepter accepter_;
    QString lineSettings_;
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

// The data rows of a test run once per accepter: "tcp" (raw) and "rfc2217".
void AddAccepterRows();

} // namespace testsupport
