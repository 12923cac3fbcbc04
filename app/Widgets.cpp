#include "Widgets.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace dmm::app {

ClickPanel::ClickPanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
}

void ClickPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    QLabel::mousePressEvent(event);
}

void ClickPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && isEnabled()) emit clicked();
}

ImageButton::ImageButton(const QPixmap& image, QWidget* parent) : ClickPanel(QString(), parent) {
    setFrameStyle(QFrame::NoFrame);
    setAutoFillBackground(false);
    setPixmap(image);
}

LcdShape::LcdShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void LcdShape::setFill(const QColor& fill) {
    if (fill == fill_) return;
    fill_ = fill;
    update();
}

void LcdShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill_);
    p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

KeyFilter::KeyFilter(QObject* parent, Accept accept)
    : QObject(parent), accept_(std::move(accept)) {}

void KeyFilter::install(QWidget* field, Accept accept) {
    field->installEventFilter(new KeyFilter(field, std::move(accept)));
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QString typed = key->text();
    if (key->key() == Qt::Key_Backspace) typed = QStringLiteral("\b");
    if (typed.isEmpty() || key->key() == Qt::Key_Delete)
        return false; // moves the cursor, deletes forward: not a typed character
    auto* edit = qobject_cast<QLineEdit*>(watched);
    const QString text = edit ? edit->text() : QString();
    for (QChar c : typed)
        if (!accept_(c, text)) return true; // swallowed
    return false;
}

} // namespace dmm::app
