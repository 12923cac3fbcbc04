// The trend chart's handlers: series selection, paging, page size and value-axis fields,
// enlarge and restore, and saving the chart as a bitmap.
#include "QV31F.h"

#include "ChartArea.h"
#include "ChartPanel.h"
#include "ClickPanel.h"
#include "ImageButton.h"
#include "KeyFilter.h"
#include "LcdMirror.h"
#include "LimitPanel.h"
#include "LinkControl.h"
#include "RecordingRow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTimer>
#include <algorithm>

namespace dmm::app {

namespace {

// The picture as a Windows BMP file; an error text, empty on success.
QString writeBitmap(const QImage& image, QIODevice& out) {
    QImageWriter writer(&out, "BMP");
    return writer.write(image) ? QString() : writer.errorString();
}

// The picture goes to a new file beside the old one, which takes the old one's place only once it
// is complete: a failed save (a full disk) leaves the old file as it was and no partial file.
QString saveBitmap(const QImage& image, const QString& fileName) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    QString error = writeBitmap(image, file);
    if (error.isEmpty() && !file.commit()) error = file.errorString();
    if (!error.isEmpty()) file.cancelWriting();
    return error;
}

} // namespace

QSize TFCOMM::outerSize() const {
    // The layout's sizes count the window's frame as a fixed single border draws it: 4 pixels
    // each side and a 23-pixel caption. A window manager that draws a frame of its own (or
    // none, as on a bare X server) must not change where the enlarged chart ends.
    const QRect frame = frameGeometry();
    return {std::max(frame.width(), width() + 2 * 4),
            std::max(frame.height(), height() + 2 * 4 + 23)};
}

void TFCOMM::showPage(int page) {
    chartPanel_->showPage(page);
}

TChartControl& TFCOMM::pager() {
    return chartPanel_->pager();
}

ChartArea& TFCOMM::Chtshow() {
    return chartPanel_->Chtshow();
}

void TFCOMM::ShowSeries(int index) {
    pager().ShowSeries(index);
}

void TFCOMM::btFillClick() {
    if (chartPanel_->BtFill()->isChecked()) {
        Fill->setChecked(true);
        ShowSeries(0);
    } else {
        Fill->setChecked(false);
        ShowSeries(1);
    }
}

void TFCOMM::FillClick() {
    const bool fill = !chartPanel_->BtFill()->isChecked();
    chartPanel_->BtFill()->setChecked(fill);
    Fill->setChecked(fill);
    ShowSeries(fill ? 0 : 1);
}

void TFCOMM::ComboBox1Change() {
    ShowSeries(Chtshow().comboBox1()->currentIndex());
}

void TFCOMM::BtNewClick() {
    const double span = std::max(1, meter.reading.FullScale);
    pager().FillSampleValues([span] { return QRandomGenerator::global()->bounded(span); });
    Chtshow().comboBox1()->setCurrentIndex(0);
    ShowSeries(0);
    ShowSeries(chartPanel_->BtFill()->isChecked() ? 0 : 1);
}

void TFCOMM::TbFdClick() {
    if (!chartPanel_->enlarged())
        chartPanel_->enlarge(outerSize());
    else
        chartPanel_->restore();
    // The enlarged chart covers the limit panel and the top bar, which must not show through.
    limits_->Panel4()->setVisible(!chartPanel_->enlarged());
    link_->Panel6()->setVisible(!chartPanel_->enlarged());
    applyFocusPolicies();
}

void TFCOMM::BtSaveClick() {
    FileDialogSpec spec;
    spec.title = QStringLiteral("Save Picture As");
    spec.filter = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    spec.defaultSuffix = QStringLiteral("*.bmp");
    spec.confirmOverwrite = true;
    spec.resizable = true;
    const QString name = dialogs_->savePicture(this, spec);
    if (name.isEmpty()) return;
    // The whole chart, on a white background, at the chart's size.
    QImage image(Chtshow().size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.drawPixmap(0, 0, Chtshow().grab());
    }
    if (const QString error = saveBitmap(image, name); !error.isEmpty()) {
        dialogs_->message(this, QStringLiteral("Error"),
                          QStringLiteral("Could not save the graphic on ") + name + ": " + error,
                          MsgIcon::Error, static_cast<unsigned>(MsgButton::Ok));
        return;
    }
    dialogs_->inform(this, QStringLiteral("Information"),
                     QStringLiteral("Graphic has saved on ") + name);
}

void TFCOMM::BtFirstClick() {
    showPage(pager().FirstPage());
}
void TFCOMM::BTPreviousClick() {
    showPage(pager().PreviousPage());
}
void TFCOMM::BtNextClick() {
    showPage(pager().NextPage());
}
void TFCOMM::BTlastClick() {
    showPage(pager().LastPage());
}

void TFCOMM::Timer2Timer() {
    Timer2->stop();
    bool ok = false;
    int size = chartPanel_->Maxrecord()->text().toInt(&ok);
    // An empty or zero size, and one below 1 that only a paste can bring, is the default.
    if (!ok || size < 1) {
        size = kDefaultPageSize;
        chartPanel_->Maxrecord()->setText(QString::number(kDefaultPageSize));
    }
    pager().SetPageSize(size);
    showPage(pager().CurrentPage());
}

namespace {

// The limit field's integer, or `fallback` written back into the field when it has none.
int axisLimit(QLineEdit* field, int fallback) {
    bool ok = false;
    int v = field->text().toInt(&ok);
    if (!ok) v = fallback;
    const QString text = QString::number(v);
    if (field->text() != text) field->setText(text);
    return v;
}

} // namespace

void TFCOMM::Timer5Timer() {
    Timer5->stop();
    pager().SetMaximum(axisLimit(Chtshow().edit1(), kLimitFieldFallback));
}

void TFCOMM::Timer6Timer() {
    Timer6->stop();
    // The lower limit falls back to the mirror of the upper limit's fallback.
    pager().SetMinimum(axisLimit(Chtshow().edit2(), -kLimitFieldFallback));
}

} // namespace dmm::app
