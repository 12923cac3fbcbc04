// The limit judge panel `Panel4`: the high and low limit fields, the measured value, the judge
// lamp with its verdict, and the link images, which sit in the panel's corner.
#pragma once

#include "LimitJudge.h"

class QFrame;
class QLabel;
class QLineEdit;
class QString;
class QWidget;

namespace dmm::app {

class LcdShape;

class LimitPanel {
public:
    explicit LimitPanel(QWidget* client);
    LimitPanel(const LimitPanel&) = delete;
    LimitPanel& operator=(const LimitPanel&) = delete;

    QFrame* Panel4() const { return panel4_; }
    QLineEdit* T1HI() const { return t1hi_; }
    QLineEdit* T1LO() const { return t1lo_; }
    QLineEdit* T1VALUE() const { return t1value_; }

    // Shows the judge's verdict: the measured value always, the colours and the verdict text
    // only when the reading was judged. Unchanged properties are not set again, so that a
    // steady reading costs no repaint.
    void showVerdict(const Verdict& v);
    // The link images as the LCD state has them: `ok` (frames arrive) and `noLink`.
    void showLink(bool ok, bool noLink);
    void setLinkNote(const QString& note);

private:
    QFrame* panel4_;
    QLineEdit* t1hi_;
    QLineEdit* t1value_;
    QLineEdit* t1lo_;
    LcdShape* shape1_;
    QLabel* judge_;
    QLabel* conOk_;
    QLabel* conOkN_;
};

} // namespace dmm::app
