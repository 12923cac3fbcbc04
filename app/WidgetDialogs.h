#pragma once

#include "Dialogs.h"

#include <memory>

class QProgressDialog;

namespace dmm::app {

// The real thing: QMessageBox, QFileDialog, the preview window ReportPreview with QPrintDialog.
class WidgetDialogs : public Dialogs {
public:
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
    bool progressCancelled() const override;
    void progressDone() override;
    WidgetDialogs();
    ~WidgetDialogs() override;

private:
    std::unique_ptr<QProgressDialog> progress_;
    std::unique_ptr<QProgressDialog> printProgress_;
};

} // namespace dmm::app
