#include "WidgetDialogs.h"

#include "PreviewDocument.h"
#include "ReportPreview.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <algorithm>

namespace dmm::app {

namespace {

QMessageBox::Icon toQt(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

FileChoice runFileDialog(QWidget* parent, const FileDialogSpec& spec,
                         QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, spec.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilter(qtFileFilter(spec.filter));
    dialog.setDefaultSuffix(plainSuffix(spec.defaultSuffix));
    // A name typed without an extension takes the selected filter's, so that the dialog's own
    // overwrite question asks about the file that will be written.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const QString suffix = filterSuffix(filter);
        dialog.setDefaultSuffix(suffix.isEmpty() ? plainSuffix(spec.defaultSuffix) : suffix);
    });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.confirmOverwrite);
    dialog.setSizeGripEnabled(spec.resizable);
    if (!spec.fileName.isEmpty()) dialog.selectFile(spec.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

} // namespace

MsgButton WidgetDialogs::message(QWidget* parent, const QString& caption, const QString& text,
                                 MsgIcon icon, MsgButtons buttons) {
    QMessageBox box(toQt(icon), caption, text, QMessageBox::NoButton, parent);
    struct Pair {
        MsgButton ours;
        QMessageBox::StandardButton qt;
    };
    static constexpr Pair pairs[] = {{MsgButton::Ok, QMessageBox::Ok},
                                     {MsgButton::Yes, QMessageBox::Yes},
                                     {MsgButton::No, QMessageBox::No},
                                     {MsgButton::Cancel, QMessageBox::Cancel}};
    for (const Pair& p : pairs)
        if (buttons & static_cast<unsigned>(p.ours)) box.addButton(p.qt);
    if (buttons == 0) box.addButton(QMessageBox::Ok);
    const int result = box.exec();
    for (const Pair& p : pairs)
        if (result == p.qt) return p.ours;
    // Closed through the title bar: the box's escape button.
    if (buttons & static_cast<unsigned>(MsgButton::Cancel)) return MsgButton::Cancel;
    if (buttons & static_cast<unsigned>(MsgButton::No)) return MsgButton::No;
    return MsgButton::Ok;
}

QString WidgetDialogs::openFile(QWidget* parent, const FileDialogSpec& spec) {
    return runFileDialog(parent, spec, QFileDialog::AcceptOpen).fileName;
}

FileChoice WidgetDialogs::saveFile(QWidget* parent, const FileDialogSpec& spec) {
    return runFileDialog(parent, spec, QFileDialog::AcceptSave);
}

QString WidgetDialogs::savePicture(QWidget* parent, const FileDialogSpec& spec) {
    return runFileDialog(parent, spec, QFileDialog::AcceptSave).fileName;
}

void WidgetDialogs::printPreview(QWidget* parent, const QString& caption,
                                 PreviewDocument& document) {
    ReportPreview preview(document, parent);
    preview.setWindowTitle(caption);
    QPrinter printer(QPrinter::HighResolution); // kept, so a second Print starts from the first
    printer.setPageLayout(document.pageLayout());
    QObject::connect(&preview, &ReportPreview::printRequested, &preview, [&] {
        QPrintDialog setup(&printer, &preview);
        setup.setOption(QAbstractPrintDialog::PrintPageRange, false); // the whole report
        if (setup.exec() != QDialog::Accepted) return;
        document.print(printer);
    });
    preview.exec();
}

bool WidgetDialogs::printProgress(QWidget* parent, int pagesDone, int pages) {
    if (!printProgress_) {
        printProgress_ = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0,
                                                           pages, parent);
        printProgress_->setObjectName(QStringLiteral("PrintProgress"));
        printProgress_->setWindowTitle(QStringLiteral("Printing"));
        // Modal: once shown, setValue() turns the event loop itself and only the Cancel button
        // takes input.
        printProgress_->setWindowModality(Qt::ApplicationModal);
        printProgress_->setMinimumDuration(500);
        printProgress_->setAutoClose(false);
        printProgress_->setAutoReset(false);
        printProgress_->setValue(0);
    }
    printProgress_->setLabelText(
        QStringLiteral("Printing page %1 of %2").arg(pagesDone).arg(pages));
    printProgress_->setValue(pagesDone);
    return !printProgress_->wasCanceled();
}

void WidgetDialogs::printProgressDone() {
    printProgress_.reset();
}

WidgetDialogs::WidgetDialogs() = default;
WidgetDialogs::~WidgetDialogs() = default;

void WidgetDialogs::progress(QWidget* parent, const QString& label, qint64 done, qint64 total,
                             bool cancellable) {
    // QProgressDialog takes int; the work is scaled to per mille.
    const int value =
        total > 0 ? static_cast<int>(std::min<qint64>(done, total) * 1000 / total) : 0;
    if (!progress_) {
        progress_ = std::make_unique<QProgressDialog>(label, QString(), 0, 1000, parent);
        progress_->setObjectName(QStringLiteral("FileProgress"));
        progress_->setWindowTitle(QStringLiteral("Please wait"));
        if (cancellable) {
            progress_->setCancelButtonText(QStringLiteral("Cancel"));
            // Once shown, setValue() turns the event loop with the user's input, which the
            // modality keeps to this window: the Cancel button can be pressed, nothing else.
            progress_->setWindowModality(Qt::WindowModal);
        } else {
            progress_->setCancelButton(nullptr);
            progress_->setWindowModality(Qt::NonModal); // a modal one would take the input
        }
        progress_->setMinimumDuration(500); // short operations show no window at all
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setValue(0);
    }
    progress_->setLabelText(label);
    progress_->setValue(value);
}

bool WidgetDialogs::progressCancelled() const {
    return progress_ && progress_->wasCanceled();
}

void WidgetDialogs::progressDone() {
    progress_.reset();
}

} // namespace dmm::app
