#pragma once

#include <QLabel>

class QMouseEvent;

namespace dmm::app {

// A panel that acts as a button: a caption on a bevelled, coloured face; a click anywhere on it
// (press and release inside, while enabled) emits clicked().
class ClickPanel : public QLabel {
    Q_OBJECT
public:
    ClickPanel(const QString& caption, QWidget* parent);
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace dmm::app
