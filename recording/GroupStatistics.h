// The statistics of one group of recorded rows (one quantity, coupling and base unit): count,
// mean, sample standard deviation, extremes with the record number of the first row that
// reached them, and the first and last time. O(1) per row.
//
// Numbers are accumulated shifted by the group's first value (Welford's update on x - x0), so
// that readings near 10^4 with a spread of 10^-1 keep their standard deviation to 9 digits, where
// a plain sum of squares loses all of it. Rows without a number are counted apart.
#pragma once

#include "Measurement.h"
#include "RecordedRow.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace dmm {

struct StatisticsKey {
    Quantity quantity = Quantity::None;
    Coupling coupling = Coupling::None;
    std::string unit; // the base unit; the unit as shown for one that has none
    bool operator==(const StatisticsKey&) const = default;

    static StatisticsKey of(const Measurement& m);
};

// Where a row stands in its group: its record number (none for a row without one) and times.
struct StatisticsStamp {
    std::optional<std::int32_t> no;
    QString time;         // the time of day text
    QDateTime at;         // invalid where the row carries no date
    QString text() const; // ISO 8601 date-time where there is one, else the time text
};

class GroupStatistics {
public:
    explicit GroupStatistics(StatisticsKey key) : key_(std::move(key)) {}

    void add(const RecordedRow& row);

    const StatisticsKey& key() const { return key_; }
    std::int64_t count() const { return count_; } // rows with a number
    std::int64_t noNumber() const { return noNumber_; }
    bool hasValues() const { return count_ > 0; }
    // Meaningful only with hasValues().
    double mean() const { return first_ + meanShift_; }
    double min() const { return min_; }
    double max() const { return max_; }
    double ptp() const { return max_ - min_; }
    const std::optional<std::int32_t>& minNo() const { return minNo_; }
    const std::optional<std::int32_t>& maxNo() const { return maxNo_; }
    // Absent below two values.
    std::optional<double> sdev() const;
    // The group's first and last row, numbers or not.
    const StatisticsStamp& firstRow() const { return firstRow_; }
    const StatisticsStamp& lastRow() const { return lastRow_; }

private:
    StatisticsKey key_;
    std::int64_t count_ = 0;
    std::int64_t noNumber_ = 0;
    double first_ = 0;     // the shift
    double meanShift_ = 0; // the mean of x - first_
    double m2_ = 0;        // the sum of squared deviations from the mean
    double min_ = 0;
    double max_ = 0;
    std::optional<std::int32_t> minNo_;
    std::optional<std::int32_t> maxNo_;
    StatisticsStamp firstRow_;
    StatisticsStamp lastRow_;
};

} // namespace dmm
