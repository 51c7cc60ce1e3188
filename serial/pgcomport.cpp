#include "serial/pgcomport.h"

#include "serial/device_kind.h"
#include "serial/port_table.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>

TPGComPort::TPGComPort(QObject* owner) : QObject(owner) {}

TPGComPort::~TPGComPort() {
    Close();
}

bool TPGComPort::askRetry(const QString& text) const {
    return QMessageBox::warning(nullptr, QStringLiteral("Warning"), text,
                                QMessageBox::Abort | QMessageBox::Retry) != QMessageBox::Abort;
}

void TPGComPort::showMessage(const QString& text) const {
    QMessageBox::information(nullptr, QApplication::applicationName(), text);
}

void TPGComPort::pumpEvents() {
    if (FEventPump)
        FEventPump();
    else
        QCoreApplication::processEvents();
}

bool TPGComPort::Open() {
    if (Opened())
        Close();
    if (!FOpenAllowed || FOpening)
        return false;
    QPointer<TPGComPort> self(this);
    for (;;) {
        const QString path =
            FBoundPath.isEmpty() ? serialport::DevicePathForPort(FPortNumber) : FBoundPath;
        // The device is this frame's while it opens: a handler run by the
        // event pump may close or delete this component meanwhile.
        std::unique_ptr<serialport::Device> device = serialport::MakeDevice(path);
        if (FAllowEvents)
            device->setEventPump([self] {
                if (!self)
                    return;
                // Nested reads and writes meet the in-use flag, as during a read.
                const bool wasInUse = std::exchange(self->FPortInUse, true);
                self->pumpEvents();
                if (self)
                    self->FPortInUse = wasInUse;
            });
        // A handler run while the open waits finds no port and none to open.
        FOpening = true;
        const bool opened = device->open(path);
        if (!self)
            return false;
        FOpening = false;
        device->setEventPump({});
        if (opened && !FOpenAllowed) // shut down while it waited
            return false;
        if (opened) {
            FDevicePath = path;
            FDevice = std::move(device);
            FBoundPath = FDevicePath;
            break;
        }
        FDevice = std::move(device); // keeps the failure for LastOpenFailure
        FDevicePath.clear();
        if (!FShowErrors || !askRetry(QStringLiteral("Error opening COM") +
                                      QString::number(FPortNumber) + QStringLiteral(": ")))
            return false;
    }
    if (FDevice->readSettingsOk()) {
        const auto flow = FHandshake == hsHardware    ? serialport::FlowControl::Hardware
                          : FHandshake == hsAssertAll ? serialport::FlowControl::AssertAll
                                                      : serialport::FlowControl::None;
        const auto parity = FParity == parEven  ? serialport::ParityMode::Even
                            : FParity == parOdd ? serialport::ParityMode::Odd
                                                : serialport::ParityMode::None;
        FDevice->configure(FBaudRate, flow, parity);
    }
    return Opened();
}

const serialport::OpenFailure& TPGComPort::LastOpenFailure() const {
    static const serialport::OpenFailure none;
    return FDevice ? FDevice->lastFailure() : none;
}

void TPGComPort::Close() {
    if (FDevice)
        FDevice->close();
    FDevicePath.clear();
}

void TPGComPort::Flush() {
    if (FDevice)
        FDevice->flush();
}

bool TPGComPort::Write(const QByteArray& sData) {
    return WriteRaw(sData.constData(), sData.size());
}

bool TPGComPort::WriteRaw(const char* bData, int bSize) {
    FLastWritten = 0;
    if (!Opened() && !Open())
        return false;
    if (bSize <= 0)
        return bSize == 0;
    FLastWritten = std::max<qint64>(0, FDevice->writeAll(QByteArray::fromRawData(bData, bSize)));
    return FLastWritten == bSize;
}

QByteArray TPGComPort::Read() {
    QByteArray text;
    Read(text);
    return text;
}

void TPGComPort::Read(QByteArray& text) {
    text.clear();
    if (FPortInUse) {
        if (FShowErrors)
            showMessage(QStringLiteral("Port is in use -- operation aborted"));
        return;
    }
    if (!Opened() && !Open())
        return;
    FPortInUse = true;
    // Events processed during the wait may delete this component (a restart
    // or shutdown handler); after that nothing here may be touched.
    QPointer<TPGComPort> self(this);

    if (FEndOfResponseRaw.isEmpty()) {
        if (const int n = InCount(); n > 0)
            text = FDevice->readWaiting(n);
        FPortInUse = false;
        return;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 deadline = FResponseTime;
    FTimedOut = false;
    bool gone = false;
    for (;;) {
        while (!FTimedOut) {
            if (const int n = InCount(); n > 0)
                text += FDevice->readWaiting(n);
            if (text.contains(FEndOfResponseRaw))
                break;
            if (clock.elapsed() > deadline)
                FTimedOut = true;
            if (FAllowEvents) {
                pumpEvents();
                if (!self)
                    return;
                if (!Opened()) // closed by a handler while we waited
                    break;
            }
            if (!FTimedOut) {
                // Sleep until bytes arrive, at most 1 ms, so events keep flowing.
                bool hungUp = false;
                if (!FDevice->waitReadable(1, &hungUp) && hungUp) {
                    // The device is gone: no reply can come, and asking to
                    // wait longer would only repeat for every later line.
                    FTimedOut = true;
                    gone = true;
                }
            }
        }
        if (!FTimedOut || !Opened() || gone)
            break;
        if (FAllowEvents && FOnTimeout) {
            FOnTimeout(this);
            if (!self)
                return;
            if (!Opened())
                break;
        }
        if (!FShowErrors || !askRetry(QStringLiteral("Timeout waiting for response.")))
            break;
        if (!self)
            return;
        FTimedOut = false;
        deadline = clock.elapsed() + FResponseTime;
    }
    FPortInUse = false;
}

QByteArray TPGComPort::ReadRaw() {
    QByteArray data;
    if (FPortInUse) {
        if (FShowErrors)
            showMessage(QStringLiteral("Port is in use -- operation aborted"));
        return data;
    }
    if (!Opened() && !Open())
        return data;
    FPortInUse = true;
    bool ok = true;
    data = FDevice->readWaiting(InCount(), &ok);
    FPortInUse = false;
    if (!ok)
        showMessage(QStringLiteral("Raw read error."));
    return data;
}

int TPGComPort::InCount() const {
    return FDevice ? FDevice->inCount() : 0;
}

bool TPGComPort::State() const {
    return FDevice && FDevice->readSettingsOk();
}

void TPGComPort::reopenIfOpen() {
    if (Opened()) {
        Close();
        Open();
    }
}

void TPGComPort::SetBaud(int v) {
    if (v == FBaudRate)
        return;
    FBaudRate = v;
    reopenIfOpen();
}

void TPGComPort::SetHandshaking(THandshake v) {
    if (v == FHandshake)
        return;
    FHandshake = v;
    reopenIfOpen();
}

void TPGComPort::SetParity(TParity v) {
    if (v == FParity)
        return;
    FParity = v;
    reopenIfOpen();
}

void TPGComPort::SetPort(int v) {
    if (v == FPortNumber)
        return;
    FPortNumber = v;
    FBoundPath.clear();
    reopenIfOpen();
}

void TPGComPort::SetEndOfResponse(const QByteArray& v) {
    FEndOfResponse = v;
    FEndOfResponseRaw = DecodeEndOfResponse(v);
}

QByteArray TPGComPort::DecodeEndOfResponse(const QByteArray& text) {
    const int hash = text.indexOf('#');
    if (hash < 0)
        return text;
    QByteArray raw = text.left(hash);
    // Each "#" closes the code before it and opens the next; the text's end
    // closes the last one.
    const QList<QByteArray> codes = text.mid(hash + 1).split('#');
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const QByteArray& digits = codes.at(i);
        if (digits.isEmpty() && i == codes.size() - 1)
            break; // a trailing "#" has no digits pending
        bool ok = !digits.isEmpty();
        for (char c : digits)
            ok = ok && c >= '0' && c <= '9';
        const int code = ok ? digits.toInt(&ok) : 0;
        if (!ok || code > 255)
            return text;
        raw += char(code);
    }
    return raw;
}
