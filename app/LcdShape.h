#pragma once

#include <QColor>
#include <QWidget>

namespace dmm::app {

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

} // namespace dmm::app
