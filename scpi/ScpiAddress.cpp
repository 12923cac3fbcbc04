#include "ScpiAddress.h"

namespace dmm::scpi {

QString ScpiAddress::parse(const QString& text, ScpiAddress& out) {
    ScpiAddress a;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    const QString portText = colon < 0 ? text : text.mid(colon + 1);
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535 || portText.startsWith(QLatin1Char('+')))
        return QStringLiteral("needs [ADDR:]PORT with a port from 0 to 65535, like 5025 or "
                              "127.0.0.1:5025");
    a.port = static_cast<quint16>(port);
    if (colon >= 0) {
        QString host = text.left(colon);
        const bool bracketed = host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'));
        if (bracketed) host = host.mid(1, host.size() - 2);
        // Without brackets an IPv6 address would swallow the port: ::1:5025.
        if ((!bracketed && host.contains(QLatin1Char(':'))) || !a.address.setAddress(host))
            return QStringLiteral("'%1' is not an IP address").arg(text.left(colon));
    }
    out = a;
    return {};
}

QString ScpiAddress::toString() const {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

} // namespace dmm::scpi
