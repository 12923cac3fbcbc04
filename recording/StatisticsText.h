// A recording's statistics as text: one line of cells per group (an aligned table for a
// terminal, tab-separated text for a spreadsheet) or one JSON object per group.
#pragma once

#include "RecordingStatistics.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace dmm {

namespace StatisticsText {

// The column titles, also the JSON keys (`file` last).
QStringList titles();
// One group's cells under titles(); numbers in the base unit to ten significant digits, an
// absent figure as "-".
QStringList cells(const GroupStatistics& g, const QString& file);
// Rows of cells as columns padded to their widest cell, titles first.
QString aligned(const std::vector<QStringList>& rows);
// Rows of cells joined by tabs, titles first, each line ended by a newline.
QString tabSeparated(const std::vector<QStringList>& rows);
// One JSON object (no newline), numbers in their shortest exact double form, absent ones null.
std::string json(const GroupStatistics& g, const QString& file);
// The unit's symbol with the prefix (m, k, M, µ, n) that suits `magnitude`.
QString withPrefix(double value, double magnitude, const std::string& unit);

} // namespace StatisticsText

} // namespace dmm
