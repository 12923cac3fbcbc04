#pragma once

#include <QString>
#include <QWidget>

namespace dmm::app {

// One digit place (or, with `sign`, the minus sign `LcdFH`). Texts: "0"-"9", "@" (the L of an
// overload display), a few letters a seven-segment digit can show, or empty: a dark place.
class SegmentDigit : public QWidget {
    Q_OBJECT
public:
    SegmentDigit(QWidget* parent, bool sign);
    void setText(const QString& text);
    const QString& text() const { return text_; }
    // The segments a..g (bit 0 = a) lit for a text; 0 for a dark place.
    static unsigned segmentsFor(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
    bool sign_;
};

} // namespace dmm::app
