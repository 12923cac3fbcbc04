#pragma once

#include "Dialogs.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>

namespace dmm::app {

// The test double: answers come from a queue, every question is recorded. A question that finds
// the queue empty is answered with its most cautious answer (No, Cancel, OK for a lone OK
// button, an empty file name) and counted in `unanswered`, so a test sees a question it did not
// expect. A print preview records the page count and, when `previewPdf` is set, presses Print
// and prints to that PDF file; a print cancels after `cancelPrintAfter` pages.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Message, OpenFile, SaveFile, SavePicture, PrintPreview };
    struct Question {
        Kind kind;
        QString caption; // message caption, dialog title or preview caption
        QString text;    // message text
        MsgIcon icon = MsgIcon::None;
        MsgButtons buttons = 0;
        FileDialogSpec spec;
    };

    std::deque<MsgButton> answers; // for message()
    std::deque<QString> fileNames; // for the file dialogs; an empty text cancels
    // For saveFile: the filter selected with each answer; none left: the first of the spec's.
    std::deque<QString> selectedFilters;
    QList<Question> questions;
    int unanswered = 0;
    QString previewPdf;                              // where the preview's Print prints, if set
    QList<int> previewPageCounts;                    // of every preview opened
    std::function<void(PreviewDocument&)> onPreview; // runs while the preview is open
    QList<std::pair<int, int>> printSteps;           // printProgress(): pages done, pages
    int cancelPrintAfter = 0;                        // pages; 0: never
    int printProgressClosed = 0;
    std::function<void()> onPrintProgress;
    // Progress reports of file operations, in order, and a hook run at each (a test can send
    // meter bytes while a file loads).
    struct ProgressStep {
        QString label;
        qint64 done;
        qint64 total;
    };
    QList<ProgressStep> progressSteps;
    int progressWindowsClosed = 0;
    std::function<void()> onProgress;
    bool cancelProgress = false; // what progressCancelled() answers (a test sets it)
    bool lastProgressCancellable = false;

    MsgButton message(QWidget* parent, const QString& caption, const QString& text, MsgIcon icon,
                      MsgButtons buttons) override;
    QString openFile(QWidget* parent, const FileDialogSpec& spec) override;
    FileChoice saveFile(QWidget* parent, const FileDialogSpec& spec) override;
    QString savePicture(QWidget* parent, const FileDialogSpec& spec) override;
    void printPreview(QWidget* parent, const QString& caption, PreviewDocument& document) override;
    bool printProgress(QWidget* parent, int pagesDone, int pages) override;
    void printProgressDone() override;
    void progress(QWidget* parent, const QString& label, qint64 done, qint64 total,
                  bool cancellable) override;
    bool progressCancelled() const override { return cancelProgress; }
    void progressDone() override;

    // The texts of all message boxes asked so far, in order.
    QStringList messageTexts() const;
    const Question* last() const { return questions.isEmpty() ? nullptr : &questions.back(); }

private:
    QString nextFile(Kind kind, const FileDialogSpec& spec);
};

} // namespace dmm::app
