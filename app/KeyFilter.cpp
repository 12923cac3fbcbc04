#include "KeyFilter.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include <memory>

namespace dmm::app {

KeyFilter::KeyFilter(QObject* parent, Accept accept)
    : QObject(parent), accept_(std::move(accept)) {}

void KeyFilter::install(QWidget* field, Accept accept) {
    field->installEventFilter(new KeyFilter(field, std::move(accept)));
    field->setAcceptDrops(false); // a drop would bypass the filter
}

void KeyFilter::insertFiltered(QLineEdit* edit, const QString& text) const {
    // Typed in turn: each character is judged against the text as the ones before it left it.
    QString field = edit->text();
    qsizetype cursor = edit->cursorPosition();
    bool selectionReplaced = !edit->hasSelectedText();
    QString kept;
    for (QChar c : text) {
        if (!c.isPrint() || !accept_(c, field)) continue;
        if (!selectionReplaced) {
            cursor = edit->selectionStart();
            field.remove(cursor, edit->selectedText().size());
            selectionReplaced = true;
        }
        field.insert(cursor++, c);
        kept += c;
    }
    if (!kept.isEmpty()) edit->insert(kept);
}

bool KeyFilter::keyPress(QLineEdit* edit, const QKeyEvent* key) const {
    if (key->matches(QKeySequence::Paste)) {
        if (!edit->isReadOnly()) insertFiltered(edit, QGuiApplication::clipboard()->text());
        return true;
    }
    // Shortcuts and keys that type no printable character (Tab, Return, Escape, Backspace,
    // Delete, the arrows, Ctrl+A/C/X/Z ...) are not the filter's to judge. Alt is not looked at:
    // a character typed with AltGr is still a character.
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
    const QString typed = key->text();
    for (QChar c : typed)
        if (!c.isPrint()) return false;
    for (QChar c : typed)
        if (!accept_(c, edit->text())) return true; // swallowed
    return false;
}

void KeyFilter::contextMenu(QLineEdit* edit, const QContextMenuEvent* event) const {
    std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
    for (QAction* action : menu->actions()) {
        if (action->objectName() != QLatin1String("edit-paste")) continue;
        action->disconnect();
        connect(action, &QAction::triggered, edit,
                [this, edit] { insertFiltered(edit, QGuiApplication::clipboard()->text()); });
    }
    menu->exec(event->globalPos());
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPress(edit, static_cast<QKeyEvent*>(event));
    case QEvent::ContextMenu:
        contextMenu(edit, static_cast<QContextMenuEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease: {
        // The middle button pastes the selection on X11.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (mouse->button() != Qt::MiddleButton || !clipboard->supportsSelection() ||
            edit->isReadOnly())
            return false;
        edit->deselect();
        insertFiltered(edit, clipboard->text(QClipboard::Selection));
        return true;
    }
    default:
        return false;
    }
}

} // namespace dmm::app
