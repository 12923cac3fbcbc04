// Small controls of the window: panels and images used as buttons, the judge lamp, and the key
// filters of the edit fields.
#pragma once

#include <QColor>
#include <QLabel>
#include <QObject>
#include <QWidget>

#include <functional>

namespace dmm::app {

// A panel that acts as a button: a caption on a bevelled, coloured face; a click anywhere on it
// (press and release inside, while enabled) emits clicked().
class ClickPanel : public QLabel {
    Q_OBJECT
public:
    ClickPanel(const QString& caption, QWidget* parent);
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// An image that acts as a button (TbFd, TbSx).
class ImageButton : public ClickPanel {
    Q_OBJECT
public:
    ImageButton(const QPixmap& image, QWidget* parent);
};

// The judge lamp `Shape1`: a circle filled with a colour.
class LcdShape : public QWidget {
    Q_OBJECT
public:
    explicit LcdShape(QWidget* parent);
    void setFill(const QColor& fill);
    QColor fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor fill_;
};

// Drops the characters a field does not take as they are typed. `accept` sees each typed
// character (backspace as '\b') and the field's current text. Keys that type nothing (arrows,
// Delete, Home ...) are not characters and pass; control characters other than backspace
// (Ctrl+V and the like) are characters the filter sees.
class KeyFilter : public QObject {
    Q_OBJECT
public:
    using Accept = std::function<bool(QChar key, const QString& fieldText)>;
    KeyFilter(QObject* parent, Accept accept);
    // Installs a filter on `field` (a QLineEdit) that lives as long as the field.
    static void install(QWidget* field, Accept accept);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Accept accept_;
};

} // namespace dmm::app
