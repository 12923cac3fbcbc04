#include "Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace dmm::app {

QString installedFamily(const QString& family) {
    struct Map {
        const char* wanted;
        const char* candidates[3];
    };
    static const Map maps[] = {
        {kArial, {"Liberation Sans", "Arimo", "DejaVu Sans"}},
        {kMsSansSerif, {"DejaVu Sans Condensed", "DejaVu Sans", "Liberation Sans"}},
        {kLcdSymbolFont, {"DejaVu Sans Condensed", "DejaVu Sans", "Liberation Sans"}},
    };
    for (const Map& m : maps) {
        if (family.compare(QLatin1String(m.wanted), Qt::CaseInsensitive) != 0) continue;
        static const QStringList installed = QFontDatabase::families();
        for (const char* c : m.candidates)
            if (installed.contains(QLatin1String(c), Qt::CaseInsensitive)) return QLatin1String(c);
        return QLatin1String(m.candidates[0]);
    }
    return family;
}

QFont uiFont(const QString& family, int pixelSize, bool bold, bool italic) {
    QFont f(installedFamily(family));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

} // namespace dmm::app
