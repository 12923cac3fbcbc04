#include "WebToken.h"

#include "StateFolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

namespace dmm::web {

namespace {

constexpr int kTokenBytes = 24;

bool isTokenText(const QByteArray& text) {
    if (text.size() != kTokenBytes * 2) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

} // namespace

QByteArray WebToken::loadOrMake(QString& error) {
    if (error = makeStateFolder(); !error.isEmpty()) return {};
    const QString path = QDir(stateFolder()).filePath(QLatin1String(kFileName));
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray text = existing.read(kTokenBytes * 4).trimmed();
        if (isTokenText(text)) return text;
    }
    QByteArray raw;
    for (int i = 0; i < kTokenBytes; ++i)
        raw.append(static_cast<char>(QRandomGenerator::system()->bounded(256)));
    const QByteArray token = raw.toHex();
    // Written whole or not at all: a torn token file would lock out every bookmarked page.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(token + '\n') != token.size() + 1 || !file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return {};
    }
    return token;
}

bool WebToken::matches(const QByteArray& given, const QByteArray& token) {
    // Every byte of the longer text is looked at, whatever differs.
    const qsizetype n = std::max(given.size(), token.size());
    unsigned diff = given.size() == token.size() ? 0U : 1U;
    for (qsizetype i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(i < given.size() ? given[i] : 0);
        const auto b = static_cast<unsigned char>(i < token.size() ? token[i] : 0);
        diff |= static_cast<unsigned>(a ^ b);
    }
    return diff == 0 && !token.isEmpty();
}

} // namespace dmm::web
