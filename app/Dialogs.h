// Every modal question, message, file dialog and preview window of the program goes through
// this one interface, so that the window's handlers can be driven by tests with scripted answers
// and no test ever opens a real window that waits for a person.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace dmm::app {

class PreviewDocument;

enum class MsgIcon { None, Information, Warning, Error, Question };

// Buttons of a message box, and the answer it gives.
enum class MsgButton : unsigned { None = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8 };
using MsgButtons = unsigned;
inline constexpr MsgButtons operator|(MsgButton a, MsgButton b) {
    return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}

// A file dialog as the window describes it. `filter` is in the "Name|pattern|Name|pattern" form
// the window stores; the real dialog converts it with qtFileFilter().
struct FileDialogSpec {
    QString title;
    QString filter;
    QString defaultSuffix; // appended to a name typed without an extension
    QString fileName;      // the name shown when the dialog opens
    bool confirmOverwrite = true;
    bool resizable = true;
};

// What a save dialog hands back: the chosen name (empty when the user cancelled) and the name
// filter that was selected when it was accepted, in the dialog's form ("Txt File(*.txt)").
struct FileChoice {
    QString fileName;
    QString selectedFilter;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box; returns the button pressed (the dismiss button if the box was closed).
    virtual MsgButton message(QWidget* parent, const QString& caption, const QString& text,
                              MsgIcon icon, MsgButtons buttons) = 0;
    // The chosen file name, or an empty text when the user cancelled.
    virtual QString openFile(QWidget* parent, const FileDialogSpec& spec) = 0;
    virtual FileChoice saveFile(QWidget* parent, const FileDialogSpec& spec) = 0;
    virtual QString savePicture(QWidget* parent, const FileDialogSpec& spec) = 0;
    // A modal print preview of the document. Its Print sets a printer up with the user and
    // hands it to document.print().
    virtual void printPreview(QWidget* parent, const QString& caption,
                              PreviewDocument& document) = 0;
    // A print's progress window, modal, with a Cancel button: called after every page with the
    // pages printed and the whole; false once the user cancelled. printProgressDone() closes it.
    virtual bool printProgress(QWidget* parent, int pagesDone, int pages) = 0;
    virtual void printProgressDone() = 0;

    // A long file operation's progress window: the caller holds the user's input back
    // meanwhile. `progress` is called now and then with the work done out of `total` (rows or
    // bytes); `progressDone` closes the window. A `cancellable` one has a Cancel button and,
    // once shown, is window-modal and takes the user's input itself (the rest of the window is
    // blocked), so that the button can be pressed; `progressCancelled` tells whether it was.
    virtual void progress(QWidget* parent, const QString& label, qint64 done, qint64 total,
                          bool cancellable) = 0;
    virtual bool progressCancelled() const = 0;
    virtual void progressDone() = 0;

    // Shorthand for the common information box with an OK button.
    void inform(QWidget* parent, const QString& caption, const QString& text) {
        message(parent, caption, text, MsgIcon::Information, static_cast<unsigned>(MsgButton::Ok));
    }
};

// "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt" -> "Excel File(*.xls);;Txt File(*.txt)".
// A description that does not already end in its pattern gets " (pattern)" appended, and the
// ';' between several patterns becomes the blank Qt expects.
QString qtFileFilter(const QString& storedFilter);
// "*.bmp" or ".bmp" or "bmp" -> "bmp".
QString plainSuffix(const QString& storedExtension);
// The extension a name filter stands for: "Txt File(*.txt)" -> "txt"; empty when its first
// pattern names no single extension ("All (*.*)", "*").
QString filterSuffix(const QString& qtFilter);

} // namespace dmm::app
