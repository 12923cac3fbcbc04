#include "Controls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace dmm::app {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int x, int y,
                  const QFont& font) {
    auto* l = named(new QLabel(caption, parent), name);
    l->setFont(font);
    l->adjustSize();
    l->move(x, y);
    return l;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* e = named(new QLineEdit(text, parent), name);
    e->setGeometry(place);
    e->setTextMargins(0, 0, 0, 0);
    return e;
}

QToolButton* makeIconButton(QWidget* parent, const char* name, ToolPicture picture,
                            const char* hint, QRect place) {
    auto* b = named(new QToolButton(parent), name);
    b->setIcon(toolIcon(picture));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(QLatin1String(hint));
    b->setAutoRaise(true);
    b->setGeometry(place);
    return b;
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption, QRect place,
                        bool checked) {
    auto* c = named(new QCheckBox(caption, parent), name);
    c->setGeometry(place);
    c->setChecked(checked);
    return c;
}

void setBackground(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    pal.setColor(QPalette::Base, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace dmm::app
