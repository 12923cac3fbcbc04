#include "ScriptedDialogs.h"

#include "PreviewDocument.h"

#include <QPrinter>

#include <algorithm>

namespace dmm::app {

MsgButton ScriptedDialogs::message(QWidget*, const QString& caption, const QString& text,
                                   MsgIcon icon, MsgButtons buttons) {
    Question q{Kind::Message, caption, text, icon, buttons, {}};
    questions.append(q);
    if (!answers.empty()) {
        const MsgButton a = answers.front();
        answers.pop_front();
        return a;
    }
    const bool loneOk = buttons == 0 || buttons == static_cast<unsigned>(MsgButton::Ok);
    if (loneOk) return MsgButton::Ok; // nothing to decide; a test need not script it
    ++unanswered;
    if (buttons & static_cast<unsigned>(MsgButton::Cancel)) return MsgButton::Cancel;
    if (buttons & static_cast<unsigned>(MsgButton::No)) return MsgButton::No;
    return MsgButton::Ok;
}

QString ScriptedDialogs::nextFile(Kind kind, const FileDialogSpec& spec) {
    questions.append(Question{kind, spec.title, {}, MsgIcon::None, 0, spec});
    if (fileNames.empty()) {
        ++unanswered;
        return {};
    }
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString ScriptedDialogs::openFile(QWidget*, const FileDialogSpec& spec) {
    return nextFile(Kind::OpenFile, spec);
}

FileChoice ScriptedDialogs::saveFile(QWidget*, const FileDialogSpec& spec) {
    FileChoice choice{nextFile(Kind::SaveFile, spec), {}};
    if (!selectedFilters.empty()) {
        choice.selectedFilter = selectedFilters.front();
        selectedFilters.pop_front();
    } else {
        choice.selectedFilter = qtFileFilter(spec.filter).section(QStringLiteral(";;"), 0, 0);
    }
    return choice;
}

QString ScriptedDialogs::savePicture(QWidget*, const FileDialogSpec& spec) {
    return nextFile(Kind::SavePicture, spec);
}

void ScriptedDialogs::printPreview(QWidget*, const QString& caption, PreviewDocument& document) {
    questions.append(Question{Kind::PrintPreview, caption, {}, MsgIcon::None, 0, {}});
    previewPageCounts.append(document.pageCount());
    if (onPreview) onPreview(document);
    if (previewPdf.isEmpty()) return;
    // Print, with "Print to File (PDF)" chosen in the printer set-up.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(document.pageLayout());
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(previewPdf);
    document.print(printer);
}

bool ScriptedDialogs::printProgress(QWidget*, int pagesDone, int pages) {
    printSteps.append({pagesDone, pages});
    if (onPrintProgress) onPrintProgress();
    return cancelPrintAfter <= 0 || pagesDone < cancelPrintAfter;
}

void ScriptedDialogs::printProgressDone() {
    ++printProgressClosed;
}

void ScriptedDialogs::progress(QWidget*, const QString& label, qint64 done, qint64 total,
                               bool cancellable) {
    progressSteps.append(ProgressStep{label, done, total});
    lastProgressCancellable = cancellable;
    if (onProgress) onProgress();
}

void ScriptedDialogs::progressDone() {
    ++progressWindowsClosed;
}

QStringList ScriptedDialogs::messageTexts() const {
    QStringList texts;
    for (const Question& q : questions)
        if (q.kind == Kind::Message) texts << q.text;
    return texts;
}

} // namespace dmm::app
