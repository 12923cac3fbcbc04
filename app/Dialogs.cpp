#include "Dialogs.h"

#include <QStringList>

namespace dmm::app {

QString qtFileFilter(const QString& storedFilter) {
    const QStringList parts = storedFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (name.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << name;
        else
            filters << name + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    if (parts.size() % 2 == 1 && !parts.back().trimmed().isEmpty())
        filters << parts.back().trimmed(); // a lone pattern without a name
    return filters.join(QStringLiteral(";;"));
}

QString plainSuffix(const QString& storedExtension) {
    QString s = storedExtension.trimmed();
    while (s.startsWith(QLatin1Char('*')) || s.startsWith(QLatin1Char('.'))) s.remove(0, 1);
    return s;
}

QString filterSuffix(const QString& qtFilter) {
    const qsizetype open = qtFilter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = qtFilter.lastIndexOf(QLatin1Char(')'));
    const QString patterns =
        open >= 0 && close > open ? qtFilter.mid(open + 1, close - open - 1) : qtFilter;
    const QString first = patterns.trimmed().section(QLatin1Char(' '), 0, 0);
    if (!first.startsWith(QStringLiteral("*."))) return {};
    const QString suffix = first.mid(2);
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return {};
    return suffix;
}

} // namespace dmm::app
