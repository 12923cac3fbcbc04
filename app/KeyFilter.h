#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QContextMenuEvent;
class QKeyEvent;
class QLineEdit;
class QWidget;

namespace dmm::app {

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
