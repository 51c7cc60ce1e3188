#include "instrument/settings_cache.h"

namespace pg5400 {

TSystemSettings SystemSettings;
std::array<TChannelSettings, 9> ChannelSettings{};
bool MuxGateSupported = false;
qint32 ErrorCode = 0;

namespace {

QChar letter(int n) {
    return QChar(QLatin1Char('A').unicode() + n - 1);
}

} // namespace

QString GetChSyncName(int chnumber) {
    if (chnumber == 0)
        return QStringLiteral("T0");
    if (chnumber < 1 || chnumber > 8)
        return {};
    return QStringLiteral("Ch ") + letter(chnumber);
}

QString GetChCmdName(int chnumber) {
    if (chnumber == 0)
        return QStringLiteral("T0");
    if (chnumber < 1 || chnumber > 8)
        return {};
    return QStringLiteral("CH") + letter(chnumber);
}

int GetChannelNumber(const QString& channelname) {
    if (channelname == QStringLiteral("T0"))
        return 0;
    for (int n = 1; n <= 8; ++n) {
        if (channelname == GetChCmdName(n) || channelname == QStringLiteral("Ch") + letter(n) ||
            channelname == GetChSyncName(n))
            return n;
    }
    return NoChannel;
}

int GetChannelIndex(const QStringList& chlisting, int chnum) {
    const QString name = GetChSyncName(chnum);
    if (name.isEmpty())
        return -1;
    return int(chlisting.lastIndexOf(name));
}

void ResetSettingsCache() {
    SystemSettings = {};
    ChannelSettings = {};
    MuxGateSupported = false;
    ErrorCode = 0;
}

} // namespace pg5400
