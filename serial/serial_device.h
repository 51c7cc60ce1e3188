#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace serialport {

enum class FlowControl { None, Hardware, AssertAll };
enum class ParityMode { None, Even, Odd };

// Why a device could not be opened, for the user.
struct OpenFailure {
    enum Kind { None, Missing, PermissionDenied, InUse, Other };
    Kind kind = None;
    int error = 0;        // errno of the failed call
    qint64 holderPid = 0; // the process holding it, where known
    QString holderName;   // that process's program name, where known
    QString group;        // the device's owning group (permission denied)
    // One line: what went wrong and what the user can do about it.
    QString describe() const;
};

// Where UUCP-style lock files ("LCK..<device>", holding the owner's PID) are
// honoured and made; other serial programs follow the same convention. An
// empty folder switches lock files off.
void SetLockDirectory(const QString& folder);

// One open POSIX serial device, exclusively held (TIOCEXCL, flock and a lock
// file), used without blocking: reads take only the bytes already waiting.
class SerialDevice {
public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Fails when the path does not exist, is no device we may open, or is held
    // by another open file (in this or another process), by a lock file of a
    // live process, or by another program that has it open without locks.
    bool open(const QString& path);
    const OpenFailure& lastFailure() const { return failure_; }
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // False when the line settings cannot be read (the device keeps its own).
    bool readSettingsOk() const;
    // Raw 8N1 at the given speed with the given flow control and parity.
    bool configure(int baud, FlowControl flow, ParityMode parity);

    void flush();
    int inCount() const;
    // Reads up to maxBytes that are waiting; an empty result with ok false
    // means the platform read failed.
    QByteArray readWaiting(int maxBytes, bool* ok = nullptr);
    // Writes every byte, waiting for room while the driver's buffer is full.
    // Returns the number of bytes written.
    qint64 writeAll(const QByteArray& data);
    // Waits up to timeoutMs for input; false when the device hung up or failed.
    bool waitReadable(int timeoutMs, bool* hungUp = nullptr) const;
    // True when the open device has hung up (unplugged, pseudo-terminal closed)
    // or is closed. Looks at the descriptor only: no line is touched.
    bool hungUp() const;

private:
    bool fail(OpenFailure::Kind kind, int error);
    void dropLockFile();

    int fd_ = -1;
    OpenFailure failure_;
    QString lockFile_; // the lock file this device made, removed on close
};

} // namespace serialport
