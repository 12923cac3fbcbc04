// The makers of the window's plain controls: each control gets its object name (tests and the
// window's own code find controls by it), its place, and the look the layout gives it.
#pragma once

#include "Pictures.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;

namespace dmm::app {

// The client area's size: the layout places every control in it by pixels.
inline constexpr int kClientWidth = 716;
inline constexpr int kClientHeight = 474;

inline const QColor kSilver(0xC0, 0xC0, 0xC0);
inline const QColor kTooltipBackground(0xFF, 0xFF, 0xE1);

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// An auto-sized label: its place is its top left corner.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int x, int y,
                  const QFont& font);
QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& text, QRect place);
QToolButton* makeIconButton(QWidget* parent, const char* name, ToolPicture picture,
                            const char* hint, QRect place);
QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption, QRect place,
                        bool checked);
void setBackground(QWidget* w, const QColor& color);

} // namespace dmm::app
