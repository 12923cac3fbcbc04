#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

namespace dmm::app {

// An annunciator: a caption drawn in a font, or a drawn symbol.
class LcdSymbol : public QWidget {
    Q_OBJECT
public:
    enum class Shape { Text, Point, Battery, Continuity, Diode, Hold, Rec };
    LcdSymbol(QWidget* parent, Shape shape, const QString& caption, const QFont& font, bool opaque);
    Shape shape() const { return shape_; }
    const QString& caption() const { return caption_; }
    // Where a caption sits in its place: centred, or against the side away from a neighbour
    // that is lit with it, so that the two read apart.
    void setAlignment(Qt::Alignment alignment) { alignment_ = alignment; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Shape shape_;
    QString caption_;
    bool opaque_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
};

} // namespace dmm::app
