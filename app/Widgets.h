// Small controls of the window: panels and images used as buttons, the judge lamp, and the key
// filters of the edit fields.
#pragma once

#include <QColor>
#include <QLabel>
#include <QObject>
#include <QWidget>

#include <functional>

class QContextMenuEvent;
class QKeyEvent;
class QLineEdit;

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

// Drops the characters a field does not take as they are typed. `accept` sees each printable
// character typed and the field's current text. Everything else passes: navigation keys (Tab
// included), Return, Escape, Backspace, Delete and the shortcuts with Ctrl or Alt. Pasted text
// (the paste shortcut, the context menu's Paste, the middle button's selection) is filtered as if
// its characters were typed in turn at the cursor; the field takes no drops.
class KeyFilter : public QObject {
    Q_OBJECT
public:
    using Accept = std::function<bool(QChar key, const QString& fieldText)>;
    KeyFilter(QObject* parent, Accept accept);
    // Installs a filter on `field` (a QLineEdit) that lives as long as the field.
    static void install(QWidget* field, Accept accept);
    // Inserts `text` at the cursor of `edit` (replacing the selection), keeping only what the
    // filter would have let through had it been typed one character at a time.
    void insertFiltered(QLineEdit* edit, const QString& text) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPress(QLineEdit* edit, const QKeyEvent* key) const;
    void contextMenu(QLineEdit* edit, const QContextMenuEvent* event) const;
    Accept accept_;
};

} // namespace dmm::app
