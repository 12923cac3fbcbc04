// The inks of the LCD mirror's elements.
#pragma once

#include <QColor>

namespace dmm::app {

// Ink of a lit element and of an unlit segment (a real LCD shows its unlit segments faintly).
inline const QColor kInk(0, 0, 0);
inline const QColor kGhost(236, 236, 236);

} // namespace dmm::app
