#pragma once

#include "serial/open_failure.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

namespace serialport {

enum class FlowControl { None, Hardware, AssertAll };
enum class ParityMode { None, Even, Odd };

// One open line to an instrument, whatever carries it (a tty device, a
// network port), used without blocking: reads take only the bytes already
// waiting. Everything above the port component sees only this.
class Device {
public:
    Device() = default;
    virtual ~Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Opens the device named by path (a device node or a network port's URL).
    virtual bool open(const QString& path) = 0;
    virtual const OpenFailure& lastFailure() const = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // False when the line settings cannot be read (the device keeps its own).
    virtual bool readSettingsOk() const = 0;
    // Raw 8N1 at the given speed with the given flow control and parity;
    // false when the settings could not be applied.
    virtual bool configure(int baud, FlowControl flow, ParityMode parity) = 0;

    // Discards the input received and not yet read.
    virtual void flush() = 0;
    // The data bytes waiting. A network device takes what the socket holds
    // into its own buffer first, hence not const.
    virtual int inCount() = 0;
    // Reads up to maxBytes that are waiting; an empty result with ok false
    // means the platform read failed.
    virtual QByteArray readWaiting(int maxBytes, bool* ok = nullptr) = 0;
    // Writes every byte, waiting for room while the outgoing buffer is full.
    // Returns the number of bytes written.
    virtual qint64 writeAll(const QByteArray& data) = 0;
    // Waits up to timeoutMs for data; false when the device hung up or failed.
    virtual bool waitReadable(int timeoutMs, bool* hungUp = nullptr) = 0;
    // True when the open device has hung up (unplugged, pseudo-terminal
    // closed, connection closed) or is closed. No line is touched.
    virtual bool hungUp() const = 0;
    // Called now and then while an open waits on something slow (a name
    // server), so the window keeps being drawn; the device must survive
    // whatever it runs.
    virtual void setEventPump(std::function<void()>) {}
};

} // namespace serialport
