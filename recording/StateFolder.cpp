#include "StateFolder.h"

#include <QDir>
#include <QFileInfo>

namespace dmm {

QString stateFolder() {
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = !xdg.isEmpty() && QDir::isAbsolutePath(xdg)
                             ? xdg
                             : QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/dmm-interface"));
}

QString makeStateFolder() {
    const QString path = stateFolder();
    const QFileInfo info(path);
    if (info.isDir()) return QString();
    if (info.exists()) return QStringLiteral("%1 is not a folder").arg(path);
    if (!QDir().mkpath(path)) return QStringLiteral("cannot create the folder %1").arg(path);
    // The journals hold the user's measurements and the token guards the web page.
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return QString();
}

} // namespace dmm
