// The recording row and the readings grid: "Repeat", the sampling interval, the data file and
// print buttons, the grid `DBGrid1`; and the recall panel `Panel2` with its start time fields,
// which the layout keeps out of sight.
#pragma once

#include "RecallClock.h"

class QCheckBox;
class QFont;
class QFrame;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class QWidget;

namespace dmm::app {

class RecordingRow {
public:
    // `windowFont` is the recall panel's captions' font.
    RecordingRow(QWidget* client, const QFont& windowFont);
    RecordingRow(const RecordingRow&) = delete;
    RecordingRow& operator=(const RecordingRow&) = delete;

    QCheckBox* RepeatSet() const { return repeatSet_; }
    QCheckBox* RecordSI() const { return recordSI_; }
    QLineEdit* RecordSITime() const { return recordSITime_; }
    QToolButton* RecordNew() const { return recordNew_; }
    QToolButton* OpenDataFiles() const { return openDataFiles_; }
    QToolButton* saveas() const { return saveas_; }
    QToolButton* BtPrint() const { return btPrint_; }
    QTableView* DBGrid1() const { return dbGrid1_; }
    QCheckBox* RecallCheck() const { return recallCheck_; }
    QLineEdit* TimeH() const { return timeH_; }
    QLineEdit* TimeM() const { return timeM_; }
    QLineEdit* TimeS() const { return timeS_; }
    QLineEdit* TimeInt() const { return timeInt_; }

    StartTimeFields startTime() const;
    // Sets the fields that differ from `f`.
    void showStartTime(const StartTimeFields& f);

private:
    void buildRow(QWidget* client);
    void buildGrid(QWidget* client);
    void buildRecallPanel(QWidget* client, const QFont& windowFont);

    QCheckBox* repeatSet_ = nullptr;
    QCheckBox* recordSI_ = nullptr;
    QLineEdit* recordSITime_ = nullptr;
    QToolButton* recordNew_ = nullptr;
    QToolButton* openDataFiles_ = nullptr;
    QToolButton* saveas_ = nullptr;
    QToolButton* btPrint_ = nullptr;
    QTableView* dbGrid1_ = nullptr;
    QCheckBox* recallCheck_ = nullptr;
    QLineEdit* timeH_ = nullptr;
    QLineEdit* timeM_ = nullptr;
    QLineEdit* timeS_ = nullptr;
    QLineEdit* timeInt_ = nullptr;
};

} // namespace dmm::app
