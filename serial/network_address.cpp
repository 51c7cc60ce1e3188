#include "serial/network_address.h"

namespace serialport {

namespace {

const QString kTcp = QStringLiteral("tcp://");
const QString kRfc2217 = QStringLiteral("rfc2217://");

std::optional<NetworkAddress> invalid(QString* why, const QString& text) {
    if (why)
        *why = text;
    return std::nullopt;
}

} // namespace

bool NetworkAddress::IsNetworkPath(const QString& path) {
    // Any "scheme://" is meant as a network port, known scheme or not, so a
    // mistyped one is reported rather than looked for as a file.
    const qsizetype at = path.indexOf(QStringLiteral("://"));
    return at > 0 && !path.left(at).contains(QLatin1Char('/'));
}

std::optional<NetworkAddress> NetworkAddress::Parse(const QString& url, QString* why) {
    const QString usage = QStringLiteral(" (write tcp://HOST:PORT or rfc2217://HOST:PORT)");
    NetworkAddress address;
    QString rest;
    if (url.startsWith(kTcp, Qt::CaseInsensitive)) {
        address.scheme = Tcp;
        rest = url.mid(kTcp.size());
    } else if (url.startsWith(kRfc2217, Qt::CaseInsensitive)) {
        address.scheme = Rfc2217;
        rest = url.mid(kRfc2217.size());
    } else {
        return invalid(why, QStringLiteral("unknown kind of network port \"%1\"%2")
                                .arg(url.section(QStringLiteral("://"), 0, 0), usage));
    }
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return invalid(why, QStringLiteral("no closing \"]\" after the IPv6 address") + usage);
        address.host = rest.mid(1, close - 1);
        if (rest.mid(close + 1, 1) != QLatin1String(":"))
            return invalid(why, QStringLiteral("no port number") + usage);
        portText = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return invalid(why, QStringLiteral("no port number") + usage);
        address.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (address.host.contains(QLatin1Char(':')))
            return invalid(why, QStringLiteral("an IPv6 address needs brackets") + usage);
    }
    if (address.host.isEmpty())
        return invalid(why, QStringLiteral("no host name") + usage);
    if (address.host.contains(QLatin1Char('/')) || address.host.contains(QLatin1Char('@')))
        return invalid(why, QStringLiteral("\"%1\" is no host name").arg(address.host) + usage);
    bool ok = !portText.isEmpty();
    for (const QChar c : portText)
        ok = ok && c.isDigit() && c.unicode() < 128;
    const int port = ok && portText.size() <= 5 ? portText.toInt(&ok) : 0;
    if (portText.isEmpty())
        return invalid(why, QStringLiteral("no port number") + usage);
    if (!ok || port < 1 || port > 65535)
        return invalid(why,
                       QStringLiteral("port \"%1\" is not a number from 1 to 65535").arg(portText));
    address.port = quint16(port);
    return address;
}

QString NetworkAddress::hostAndPort() const {
    const QString h =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return h + QLatin1Char(':') + QString::number(port);
}

} // namespace serialport
