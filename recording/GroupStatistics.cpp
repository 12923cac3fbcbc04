#include "GroupStatistics.h"

#include <cmath>

namespace dmm {

StatisticsKey StatisticsKey::of(const Measurement& m) {
    return {m.quantity, m.coupling, m.hasBaseUnit ? m.baseUnit : m.unit};
}

QString StatisticsStamp::text() const {
    return at.isValid() ? at.toString(Qt::ISODateWithMs) : time;
}

void GroupStatistics::add(const RecordedRow& row) {
    const StatisticsStamp stamp{row.row.no, row.row.time, row.row.recordedAt};
    if (count_ + noNumber_ == 0) firstRow_ = stamp;
    lastRow_ = stamp;
    const Measurement& m = row.measurement;
    if (m.state != ValueState::Number) {
        ++noNumber_;
        return;
    }
    const double x = m.value();
    if (count_ == 0) {
        first_ = min_ = max_ = x;
        minNo_ = maxNo_ = row.row.no;
    } else if (x < min_) {
        min_ = x;
        minNo_ = row.row.no;
    } else if (x > max_) {
        max_ = x;
        maxNo_ = row.row.no;
    }
    ++count_;
    const double d = x - first_;
    const double delta = d - meanShift_;
    meanShift_ += delta / static_cast<double>(count_);
    m2_ += delta * (d - meanShift_);
}

std::optional<double> GroupStatistics::sdev() const {
    if (count_ < 2) return std::nullopt;
    return std::sqrt(std::max(0.0, m2_) / static_cast<double>(count_ - 1));
}

} // namespace dmm
