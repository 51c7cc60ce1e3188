#include "serial/device_kind.h"

#include "serial/network_address.h"
#include "serial/rfc2217_device.h"
#include "serial/tcp_device.h"
#include "serial/tty_device.h"

#include <QFileInfo>

namespace serialport {

std::unique_ptr<Device> MakeDevice(const QString& path) {
    if (!NetworkAddress::IsNetworkPath(path))
        return std::make_unique<TtyDevice>();
    const std::optional<NetworkAddress> address = NetworkAddress::Parse(path);
    // A malformed URL gets the raw kind, whose open reports what is wrong.
    if (address && address->scheme == NetworkAddress::Rfc2217)
        return std::make_unique<Rfc2217Device>();
    return std::make_unique<TcpDevice>();
}

QString ShortName(const QString& path) {
    if (NetworkAddress::IsNetworkPath(path)) {
        const std::optional<NetworkAddress> address = NetworkAddress::Parse(path);
        return address ? address->hostAndPort() : path;
    }
    if (path.contains(QStringLiteral("/serial/by-id/")))
        return QFileInfo(path).fileName();
    return {};
}

} // namespace serialport
