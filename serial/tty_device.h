#pragma once

#include "serial/device.h"

namespace serialport {

// One open POSIX serial device, exclusively held (TIOCEXCL, flock and a lock
// file).
class TtyDevice : public Device {
public:
    TtyDevice() = default;
    ~TtyDevice() override;

    // Fails when the path does not exist, is no device we may open, or is held
    // by another open file (in this or another process), by a lock file of a
    // live process, or by another program that has it open without locks.
    bool open(const QString& path) override;
    const OpenFailure& lastFailure() const override { return failure_; }
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool readSettingsOk() const override;
    bool configure(int baud, FlowControl flow, ParityMode parity) override;

    void flush() override;
    int inCount() override;
    QByteArray readWaiting(int maxBytes, bool* ok = nullptr) override;
    qint64 writeAll(const QByteArray& data) override;
    bool waitReadable(int timeoutMs, bool* hungUp = nullptr) override;
    // Looks at the descriptor only.
    bool hungUp() const override;

private:
    bool fail(OpenFailure::Kind kind, int error);
    void dropLockFile();
    // True (with the failure set) when a lock of another process holds it.
    bool lockedByOther(const QString& lockFile, const QString& device);
    bool takeLockFile(const QString& lockFile, const QString& device);

    int fd_ = -1;
    OpenFailure failure_;
    QString lockFile_; // the lock file this device made, removed on close
};

} // namespace serialport
