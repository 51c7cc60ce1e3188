#pragma once

#include <QByteArray>
#include <QHash>
#include <array>

namespace serialport {

// The Telnet side of a network serial port: takes the server's byte stream
// apart into data and protocol, answers the server's option requests, and
// keeps what the server said about serial port control (RFC 2217).
// Agrees to BINARY both ways, SUPPRESS-GO-AHEAD and COM-PORT-OPTION and
// refuses every other option, so no request can go unanswered or loop.
class TelnetCodec {
public:
    enum : quint8 {
        SE = 240,
        NOP = 241,
        SB = 250,
        WILL = 251,
        WONT = 252,
        DO = 253,
        DONT = 254,
        IAC = 255,
        Binary = 0,
        SuppressGoAhead = 3,
        ComPortOption = 44,
    };
    // Commands of COM-PORT-OPTION; the server acknowledges each with the
    // command plus 100 and the value it now uses.
    enum ComPortCommand : quint8 {
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
    };
    enum class Answer { Pending, Agreed, Refused };

    // The requests that open a session: we will send COM-PORT-OPTION and
    // binary data, and ask the server for binary data.
    QByteArray opening();
    // Takes bytes off the wire: data bytes are appended to data, answers
    // owed to the server to replies. Sequences split across calls are kept.
    void decode(const char* bytes, qsizetype size, QByteArray& data, QByteArray& replies);

    // Whether the server accepts COM-PORT-OPTION commands from us.
    Answer comPortAnswer() const;
    // The value the server acknowledged for a command since the last
    // forgetAcknowledgements; empty while none came.
    QByteArray acknowledged(ComPortCommand command) const { return acks_.value(command); }
    // How many acknowledgements came since the last forgetAcknowledgements.
    int acknowledgements() const { return ackCount_; }
    void forgetAcknowledgements() {
        acks_.clear();
        ackCount_ = 0;
    }

    // Data with every IAC doubled, as it must cross the wire.
    static QByteArray escape(const QByteArray& data);
    // How many leading bytes of data the first wireBytes of escape(data) carry whole.
    static qint64 dataBytesIn(const QByteArray& data, qint64 wireBytes);
    // IAC SB COM-PORT-OPTION command value IAC SE, the value escaped.
    static QByteArray comPortCommand(ComPortCommand command, const QByteArray& value);

private:
    // Where an option stands on one side; "Asked" means we requested it and
    // await the answer, so the answer is not answered again.
    enum class Side : quint8 { Off, Asked, On };
    enum class State { Data, Command, Verb, Sub, SubCommand };

    void negotiate(quint8 verb, quint8 option, QByteArray& replies);
    void subnegotiation();

    State state_ = State::Data;
    quint8 verb_ = 0;
    QByteArray sub_;
    bool subOverflow_ = false;
    std::array<Side, 256> ours_{};   // options we perform (WILL / WONT)
    std::array<Side, 256> theirs_{}; // options the server performs (DO / DONT)
    bool comPortRefused_ = false;
    QHash<quint8, QByteArray> acks_;
    int ackCount_ = 0;
};

} // namespace serialport
