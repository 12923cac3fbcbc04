#include "Calc.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QXmlStreamReader>

namespace dmm::test {

namespace {

// Calc reads its locale from the profile; a fresh profile would take it from the environment.
QByteArray pinnedLocaleSettings(const QString& locale) {
    const QByteArray tag = locale.toUtf8();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
           "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
           "<item oor:path=\"/org.openoffice.Setup/L10N\"><prop oor:name=\"ooLocale\" "
           "oor:op=\"fuse\"><value>" +
           tag +
           "</value></prop></item>\n"
           "<item oor:path=\"/org.openoffice.Setup/L10N\"><prop oor:name=\"ooSetupSystemLocale\" "
           "oor:op=\"fuse\"><value>" +
           tag +
           "</value></prop></item>\n"
           "<item oor:path=\"/org.openoffice.Office.Linguistic/General\"><prop "
           "oor:name=\"DefaultLocale\" oor:op=\"fuse\"><value>" +
           tag + "</value></prop></item>\n</oor:items>\n";
}

Cell readCell(QXmlStreamReader& x) {
    const auto attrs = x.attributes();
    Cell c;
    c.type = attrs.value(QLatin1String("office:value-type")).toString();
    if (attrs.hasAttribute(QLatin1String("office:value")))
        c.value = attrs.value(QLatin1String("office:value")).toString();
    else if (attrs.hasAttribute(QLatin1String("office:date-value")))
        c.value = attrs.value(QLatin1String("office:date-value")).toString();
    else if (attrs.hasAttribute(QLatin1String("office:time-value")))
        c.value = attrs.value(QLatin1String("office:time-value")).toString();
    // The shown text: the paragraphs' text, spans included; the file's indentation is not.
    int depth = 1;
    int inParagraph = 0;
    while (depth > 0 && !x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            ++depth;
            if (x.qualifiedName() == QLatin1String("text:p")) {
                if (!c.text.isEmpty()) c.text += QLatin1Char('\n');
                ++inParagraph;
            }
        } else if (x.isEndElement()) {
            --depth;
            if (x.qualifiedName() == QLatin1String("text:p")) --inParagraph;
        } else if (x.isCharacters() && inParagraph > 0) {
            c.text += x.text();
        }
    }
    return c;
}

} // namespace

Calc::Calc(const QString& locale) {
    QDir(profile_.path()).mkpath(QStringLiteral("user"));
    QFile f(profile_.filePath(QStringLiteral("user/registrymodifications.xcu")));
    if (f.open(QIODevice::WriteOnly)) f.write(pinnedLocaleSettings(locale));
}

QString Calc::program() {
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

QString Calc::convert(const QStringList& inputs, const QString& format, const QString& outDir,
                      const QString& csvOptions) const {
    if (program().isEmpty()) return QStringLiteral("soffice is not installed");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The environment's locale must not leak into the conversion; the profile pins it.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("HOME"), profile_.path());
    p.setProcessEnvironment(env);
    QStringList args{QStringLiteral("-env:UserInstallation=") +
                         QUrl::fromLocalFile(profile_.path()).toString(),
                     QStringLiteral("--headless"),
                     QStringLiteral("--norestore"),
                     QStringLiteral("--nolockcheck"),
                     QStringLiteral("--infilter=CSV:") + csvOptions,
                     QStringLiteral("--convert-to"),
                     format,
                     QStringLiteral("--outdir"),
                     outDir};
    p.start(program(), args + inputs);
    if (!p.waitForFinished(180'000)) {
        p.kill();
        p.waitForFinished();
        return QStringLiteral("soffice did not finish in 3 minutes");
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("soffice failed: ") +
               QString::fromLocal8Bit(p.readAllStandardError());
    return {};
}

Sheet Calc::readSheet(const QString& fodsPath, QString* error) {
    Sheet sheet;
    QFile f(fodsPath);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return sheet;
    }
    QXmlStreamReader x(&f);
    bool inTable = false;
    while (!x.atEnd()) {
        x.readNext();
        const QStringView name = x.qualifiedName();
        if (x.isEndElement() && name == QLatin1String("table:table")) break; // first sheet only
        if (!x.isStartElement()) continue;
        if (name == QLatin1String("table:table")) {
            inTable = true;
        } else if (inTable && name == QLatin1String("table:table-row")) {
            sheet.emplace_back();
        } else if (inTable && (name == QLatin1String("table:table-cell") ||
                               name == QLatin1String("table:covered-table-cell"))) {
            const int repeat = qMax(
                1, x.attributes().value(QLatin1String("table:number-columns-repeated")).toInt());
            const Cell c = readCell(x);
            // A run of empty cells up to the end of the row is only padding.
            for (int i = 0; i < repeat && i < 64; ++i) sheet.back().push_back(c);
        }
    }
    if (x.hasError() && error) *error = x.errorString();
    for (auto& row : sheet)
        while (!row.empty() && row.back().type.isEmpty() && row.back().text.isEmpty())
            row.pop_back();
    return sheet;
}

} // namespace dmm::test
