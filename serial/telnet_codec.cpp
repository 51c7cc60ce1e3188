#include "serial/telnet_codec.h"

namespace serialport {

namespace {

// A subnegotiation longer than this is no COM-PORT-OPTION reply (the
// longest is a signature); the rest of it is dropped, not stored.
constexpr qsizetype kLongestSub = 512;

bool weDo(quint8 option) {
    return option == TelnetCodec::Binary || option == TelnetCodec::SuppressGoAhead ||
           option == TelnetCodec::ComPortOption;
}

bool theyMay(quint8 option) {
    return option == TelnetCodec::Binary || option == TelnetCodec::SuppressGoAhead;
}

QByteArray command(quint8 verb, quint8 option) {
    QByteArray bytes(3, '\0');
    bytes[0] = char(TelnetCodec::IAC);
    bytes[1] = char(verb);
    bytes[2] = char(option);
    return bytes;
}

} // namespace

QByteArray TelnetCodec::opening() {
    ours_[ComPortOption] = Side::Asked;
    ours_[Binary] = Side::Asked;
    theirs_[Binary] = Side::Asked;
    return command(WILL, ComPortOption) + command(WILL, Binary) + command(DO, Binary);
}

TelnetCodec::Answer TelnetCodec::comPortAnswer() const {
    if (ours_[ComPortOption] == Side::On)
        return Answer::Agreed;
    return comPortRefused_ ? Answer::Refused : Answer::Pending;
}

void TelnetCodec::decode(const char* bytes, qsizetype size, QByteArray& data, QByteArray& replies) {
    for (qsizetype i = 0; i < size; ++i) {
        const quint8 b = quint8(bytes[i]);
        switch (state_) {
        case State::Data:
            if (b == IAC)
                state_ = State::Command;
            else
                data += char(b);
            break;
        case State::Command:
            if (b == IAC) {
                data += char(b);
                state_ = State::Data;
            } else if (b >= WILL) {
                verb_ = b;
                state_ = State::Verb;
            } else if (b == SB) {
                sub_.clear();
                subOverflow_ = false;
                state_ = State::Sub;
            } else {
                state_ = State::Data; // NOP, DM, BRK, GA and the like carry nothing for us
            }
            break;
        case State::Verb:
            negotiate(verb_, b, replies);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == IAC)
                state_ = State::SubCommand;
            else if (sub_.size() < kLongestSub)
                sub_ += char(b);
            else
                subOverflow_ = true;
            break;
        case State::SubCommand:
            if (b == SE) {
                if (!subOverflow_)
                    subnegotiation();
                state_ = State::Data;
            } else if (b == IAC) {
                if (sub_.size() < kLongestSub)
                    sub_ += char(b);
                state_ = State::Sub;
            } else {
                // IAC and anything but SE or IAC inside a subnegotiation
                // breaks it off; the byte starts a command of its own.
                state_ = State::Command;
                --i;
            }
            break;
        }
    }
}

void TelnetCodec::negotiate(quint8 verb, quint8 option, QByteArray& replies) {
    switch (verb) {
    case DO: // the server asks us to perform the option
        if (ours_[option] == Side::On)
            break;
        if (weDo(option)) {
            if (ours_[option] == Side::Off)
                replies += command(WILL, option);
            ours_[option] = Side::On;
        } else {
            replies += command(WONT, option);
        }
        break;
    case DONT:
        if (ours_[option] == Side::On)
            replies += command(WONT, option);
        if (option == ComPortOption)
            comPortRefused_ = true;
        ours_[option] = Side::Off;
        break;
    case WILL: // the server offers to perform the option
        if (theirs_[option] == Side::On)
            break;
        if (theyMay(option)) {
            if (theirs_[option] == Side::Off)
                replies += command(DO, option);
            theirs_[option] = Side::On;
        } else {
            replies += command(DONT, option);
        }
        break;
    case WONT:
        if (theirs_[option] == Side::On)
            replies += command(DONT, option);
        theirs_[option] = Side::Off;
        break;
    default:
        break;
    }
}

void TelnetCodec::subnegotiation() {
    // COM-PORT-OPTION from the server: an acknowledgement is the command
    // plus 100; line and modem state notices need nothing from us.
    if (sub_.size() < 2 || quint8(sub_.at(0)) != ComPortOption)
        return;
    const quint8 code = quint8(sub_.at(1));
    if (code > 100 && code <= 100 + SetControl) {
        acks_.insert(quint8(code - 100), sub_.mid(2));
        ++ackCount_;
    }
}

QByteArray TelnetCodec::escape(const QByteArray& data) {
    if (!data.contains(char(IAC)))
        return data;
    QByteArray wire;
    wire.reserve(data.size() + 8);
    for (const char c : data) {
        wire += c;
        if (quint8(c) == IAC)
            wire += c;
    }
    return wire;
}

qint64 TelnetCodec::dataBytesIn(const QByteArray& data, qint64 wireBytes) {
    qint64 used = 0;
    qint64 n = 0;
    for (const char c : data) {
        used += quint8(c) == IAC ? 2 : 1;
        if (used > wireBytes)
            break;
        ++n;
    }
    return n;
}

QByteArray TelnetCodec::comPortCommand(ComPortCommand command, const QByteArray& value) {
    QByteArray bytes;
    bytes += char(IAC);
    bytes += char(SB);
    bytes += char(ComPortOption);
    bytes += char(command);
    bytes += escape(value);
    bytes += char(IAC);
    bytes += char(SE);
    return bytes;
}

} // namespace serialport
