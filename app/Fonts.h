// The window's fonts. The layout names the fonts of the desktop it was drawn on; a family this
// machine lacks is replaced by its closest installed relative. Sizes are character heights in
// pixels, not points, so the layout does not change with the screen's resolution.
#pragma once

#include <QFont>
#include <QString>

namespace dmm::app {

// "Arial" -> "Liberation Sans" (same metrics); "MS Sans Serif", a narrow plain sans, and the LCD
// annunciator font -> "DejaVu Sans Condensed"; other names are kept.
QString installedFamily(const QString& family);

QFont uiFont(const QString& family, int pixelSize, bool bold = false, bool italic = false);

inline constexpr const char* kArial = "Arial";
inline constexpr const char* kMsSansSerif = "MS Sans Serif";
inline constexpr const char* kLcdSymbolFont = "SEGL-A2";

} // namespace dmm::app
