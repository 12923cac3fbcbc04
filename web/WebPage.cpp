#include "WebPage.h"

#include "WebToken.h"

#include <QHostInfo>

namespace dmm::web {

WebPage::WebPage(std::function<bool()> linkUp, std::function<QString()> title,
                 WebServer::CsvSource csv)
    : feed_(std::move(linkUp)), server_(feed_, std::move(title), std::move(csv)) {}

QString WebPage::start(const QHostAddress& address, quint16 port) {
    if (!address.isLoopback()) {
        QString error;
        token_ = WebToken::loadOrMake(error);
        if (token_.isEmpty())
            return QStringLiteral("--http needs a token beyond 127.0.0.1: ") + error;
    }
    return server_.start(address, port, token_);
}

QString WebPage::openUrl() const {
    QString url = server_.url();
    // 0.0.0.0 names no machine to open: the page is reached by this machine's name.
    if (server_.serverAddress() == QHostAddress::AnyIPv4 ||
        server_.serverAddress() == QHostAddress::AnyIPv6 ||
        server_.serverAddress() == QHostAddress::Any)
        url = QStringLiteral("http://%1:%2/")
                  .arg(QHostInfo::localHostName())
                  .arg(server_.serverPort());
    if (!token_.isEmpty()) url += QStringLiteral("?token=") + QString::fromLatin1(token_);
    return url;
}

} // namespace dmm::web
