#include "serial/rfc2217_device.h"

#include <QtEndian>
#include <cerrno>
#include <iterator>

namespace serialport {

namespace {

using Codec = TelnetCodec;

QByteArray byteValue(quint8 v) {
    return QByteArray(1, char(v));
}

// RFC 2217's codes for the settings the panel uses.
constexpr quint8 kParityNone = 1, kParityOdd = 2, kParityEven = 3;
constexpr quint8 kOneStopBit = 1;
constexpr quint8 kNoFlowControl = 1, kHardwareFlowControl = 3;
constexpr quint8 kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;

} // namespace

bool Rfc2217Device::readSettingsOk() const {
    return isOpen() && codec_.comPortAnswer() == Codec::Answer::Agreed;
}

bool Rfc2217Device::greet(const NetworkAddress& address, const QDeadlineTimer& deadline) {
    codec_ = TelnetCodec();
    owed_.clear();
    const QString where = address.hostAndPort();
    if (!sendWire(codec_.opening()))
        return setFailure(QStringLiteral("%1 closed the connection").arg(where), ECONNRESET);
    while (codec_.comPortAnswer() == Codec::Answer::Pending) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return setFailure(QStringLiteral("no Telnet answer from %1 within %2 s: is it served "
                                             "by a telnet(rfc2217) accepter?")
                                  .arg(where)
                                  .arg(kOpenLimitMs / 1000),
                              ETIMEDOUT);
        if (!receive(int(left)))
            return setFailure(QStringLiteral("%1 closed the connection (is the serial "
                                             "port in use by another client?)")
                                  .arg(where),
                              ECONNRESET);
    }
    if (codec_.comPortAnswer() == Codec::Answer::Refused)
        return setFailure(QStringLiteral("%1 refuses serial port control (RFC 2217): serve it by "
                                         "a telnet(rfc2217) accepter, or name it tcp://%1")
                              .arg(where),
                          EPROTONOSUPPORT);
    return true;
}

void Rfc2217Device::decode(const char* bytes, qsizetype size, QByteArray& data) {
    // Answers are queued: sending could wait on a full socket in the middle
    // of decoding.
    codec_.decode(bytes, size, data, owed_);
}

void Rfc2217Device::afterDecode() {
    // A server that never reads cannot make this grow without bound: what it
    // has not taken by then is its loss.
    if (owed_.size() > kMostOwed)
        owed_.clear();
    owed_.remove(0, sendNow(owed_));
}

bool Rfc2217Device::configure(int baud, FlowControl flow, ParityMode parity) {
    if (!readSettingsOk() || baud <= 0)
        return false;
    const quint8 parityCode = parity == ParityMode::Even  ? kParityEven
                              : parity == ParityMode::Odd ? kParityOdd
                                                          : kParityNone;
    QByteArray baudValue(4, '\0');
    qToBigEndian(quint32(baud), baudValue.data());
    struct Setting {
        Codec::ComPortCommand command;
        QByteArray value;
    };
    const Setting settings[] = {
        {Codec::SetBaudRate, baudValue},
        {Codec::SetDataSize, byteValue(8)},
        {Codec::SetParity, byteValue(parityCode)},
        {Codec::SetStopSize, byteValue(kOneStopBit)},
        {Codec::SetControl,
         byteValue(flow == FlowControl::Hardware ? kHardwareFlowControl : kNoFlowControl)},
    };
    codec_.forgetAcknowledgements();
    QByteArray wire;
    for (const Setting& s : settings)
        wire += Codec::comPortCommand(s.command, s.value);
    if (!sendWire(wire))
        return false;
    const QDeadlineTimer deadline(kSettingsLimitMs);
    while (codec_.acknowledgements() < int(std::size(settings))) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !receive(int(left)))
            return false;
    }
    // The modem lines as a local port sets them: both raised for AssertAll,
    // both dropped without flow control, left to the handshake otherwise.
    // Like the local port's, this is not checked: a server whose device has
    // no modem lines (ser2net on a pseudo-terminal) does not acknowledge it.
    if (flow == FlowControl::AssertAll)
        sendWire(Codec::comPortCommand(Codec::SetControl, byteValue(kDtrOn)) +
                 Codec::comPortCommand(Codec::SetControl, byteValue(kRtsOn)));
    else if (flow == FlowControl::None)
        sendWire(Codec::comPortCommand(Codec::SetControl, byteValue(kDtrOff)) +
                 Codec::comPortCommand(Codec::SetControl, byteValue(kRtsOff)));
    // The acknowledgement carries the value the server now uses.
    for (const Setting& s : settings)
        if (codec_.acknowledged(s.command) != s.value)
            return false;
    return true;
}

} // namespace serialport
