#include "LimitPanel.h"

#include "Controls.h"
#include "Fonts.h"
#include "LcdShape.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>

namespace dmm::app {

LimitPanel::LimitPanel(QWidget* client) {
    panel4_ = named(new QFrame(client), "Panel4");
    panel4_->setGeometry(338, 29, 375, 120);
    panel4_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel4_->setLineWidth(3);
    setBackground(panel4_, Qt::white);
    const QFont arial11b = uiFont(QLatin1String(kArial), 11, true);
    makeLabel(panel4_, "T1_HI", QStringLiteral("Set High Limit:"), 16, 16, arial11b);
    t1hi_ = makeEdit(panel4_, "T1HI", QLatin1String(kDefaultHighLimit), {112, 12, 57, 22});
    t1hi_->setToolTip(QStringLiteral("Please enter a number here."));
    t1hi_->setFont(arial11b);
    makeLabel(panel4_, "T1_Value", QStringLiteral("Measure Value:"), 16, 52, arial11b);
    t1value_ = makeEdit(panel4_, "T1VALUE", QStringLiteral("0"), {112, 43, 81, 32});
    t1value_->setReadOnly(true);
    t1value_->setFont(uiFont(QLatin1String(kArial), 21, true));
    setBackground(t1value_, kTooltipBackground);
    makeLabel(panel4_, "T1_LO", QStringLiteral("Set Low Limit:"), 16, 84, arial11b);
    t1lo_ = makeEdit(panel4_, "T1LO", QLatin1String(kDefaultLowLimit), {112, 84, 57, 22});
    t1lo_->setToolTip(QStringLiteral("Please enter a number here."));
    t1lo_->setFont(arial11b);
    shape1_ = named(new LcdShape(panel4_), "Shape1");
    shape1_->setGeometry(192, 8, 113, 97);
    shape1_->setFill(kTooltipBackground);
    judge_ = makeLabel(panel4_, "judge", QString(), 216, 40,
                       uiFont(QLatin1String(kMsSansSerif), 24, true));
    setBackground(judge_, kTooltipBackground);
    judge_->setAlignment(Qt::AlignCenter);
    t1value_->raise(); // the value field overlaps the lamp's left edge
    conOk_ = named(new QLabel(panel4_), "CONok");
    conOk_->setPixmap(linkImage(true));
    conOk_->setGeometry(310, 13, 25, 24);
    conOk_->hide();
    conOkN_ = named(new QLabel(panel4_), "CONokN");
    conOkN_->setPixmap(linkImage(false));
    conOkN_->setGeometry(310, 13, 25, 24);
}

void LimitPanel::showVerdict(const Verdict& v) {
    if (t1value_->text() != v.valueText) t1value_->setText(v.valueText);
    if (!v.judged) return;
    auto paint = [](QWidget* w, const QColor& c) {
        QPalette pal = w->palette();
        if (pal.color(QPalette::Base) == c && pal.color(QPalette::Window) == c) return;
        pal.setColor(QPalette::Base, c);
        pal.setColor(QPalette::Window, c);
        w->setPalette(pal);
    };
    paint(t1value_, v.valueBackground);
    shape1_->setFill(v.shapeFill);
    paint(judge_, v.judgeBackground);
    if (judge_->text() != v.judgeText) {
        judge_->setText(v.judgeText);
        judge_->adjustSize();
    }
}

void LimitPanel::showLink(bool ok, bool noLink) {
    if (conOk_->isVisibleTo(panel4_) != ok) conOk_->setVisible(ok);
    if (conOkN_->isVisibleTo(panel4_) != noLink) conOkN_->setVisible(noLink);
}

void LimitPanel::setLinkNote(const QString& note) {
    conOk_->setToolTip(note);
    conOkN_->setToolTip(note);
}

} // namespace dmm::app
