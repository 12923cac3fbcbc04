#include "ReadingsTable.h"

#include "UnitSymbols.h"

#include <utility>

namespace dmm {

namespace {
constexpr const char* kFieldNames[kFieldCount] = {"no",   "time", "dc/ac", "value",
                                                  "unit", "auto", "nval"};
constexpr const char* kGridTitles[kFieldCount] = {"no.",  "time",  "Function", "value",
                                                  "unit", "Judge", "nval"};
constexpr int kNoEmpty = 1;
constexpr int kNvalEmpty = 2;
constexpr int kNoRecordedAt = 4;
constexpr int kRangeShift = 3;
constexpr int kRangeMask = 3 << kRangeShift;
constexpr const char* kRangeModes[] = {"", "AUTO", "MANU"};

int rangeCode(const QString& mode) {
    for (int i = 1; i < 3; ++i)
        if (mode == QLatin1String(kRangeModes[i])) return i;
    return 0;
}

// Position of a text field in StoredRow::text.
int textSlot(Field f) {
    return static_cast<int>(f) - 1;
}

} // namespace

const char* fieldName(Field f) {
    return kFieldNames[static_cast<int>(f)];
}

std::optional<Field> fieldByName(QStringView name) {
    for (int i = 0; i < kFieldCount; ++i)
        if (name.compare(QLatin1String(kFieldNames[i]), Qt::CaseInsensitive) == 0)
            return static_cast<Field>(i);
    return std::nullopt;
}

const QString& RowData::text(Field f) const {
    static const QString none;
    switch (f) {
    case Field::Time:
        return time;
    case Field::DcAc:
        return dcAc;
    case Field::Value:
        return value;
    case Field::Unit:
        return unit;
    case Field::Auto:
        return judge;
    default:
        return none;
    }
}

QString& RowData::text(Field f) {
    return const_cast<QString&>(static_cast<const RowData&>(*this).text(f));
}

ReadingsTable::ReadingsTable(QObject* parent) : QAbstractTableModel(parent) {}

ReadingsTable::~ReadingsTable() = default;

void ReadingsTable::resetPool() {
    pool_.clear();
    lastIds_.fill(0);
}

std::uint32_t ReadingsTable::intern(const QString& text, int slot) {
    if (text.isEmpty()) return 0;
    const std::uint32_t last = lastIds_[slot];
    if (text.size() <= kMaxFieldText && pool_.view(last) == text) return last;
    const std::uint32_t id = pool_.intern(QStringView(text).left(kMaxFieldText));
    lastIds_[slot] = id;
    return id;
}

ReadingsTable::StoredRow ReadingsTable::pack(const RowData& row) {
    StoredRow s{};
    s.no = row.no.value_or(0);
    s.nval = row.nval.value_or(0);
    const bool dated = row.recordedAt.isValid();
    s.recordedAtMs = dated ? row.recordedAt.toMSecsSinceEpoch() : 0;
    s.flags = (row.no ? 0 : kNoEmpty) | (row.nval ? 0 : kNvalEmpty) | (dated ? 0 : kNoRecordedAt) |
              (rangeCode(row.rangeMode) << kRangeShift);
    for (Field f : {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto})
        s.text[textSlot(f)] = intern(row.text(f), textSlot(f));
    return s;
}

void ReadingsTable::store(const RowData& row) {
    const std::size_t block = rows_ / kBlockRows;
    if (block == blocks_.size())
        blocks_.push_back(std::make_unique_for_overwrite<StoredRow[]>(kBlockRows));
    blocks_[block][rows_ % kBlockRows] = pack(row);
    ++rows_;
}

const ReadingsTable::StoredRow& ReadingsTable::stored(int index) const {
    const auto i = static_cast<std::size_t>(index);
    return blocks_[i / kBlockRows][i % kBlockRows];
}

bool ReadingsTable::append(const RowData& row) {
    return append(std::span(&row, 1));
}

bool ReadingsTable::append(std::span<const RowData> rows) {
    if (rows.empty()) return true;
    if (rows.size() > static_cast<std::size_t>(kMaxTableRows) - rows_) return false;
    const int first = size();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    for (const RowData& r : rows) store(r);
    endInsertRows();
    return true;
}

std::uint32_t ReadingsTable::internText(QStringView text) {
    return pool_.intern(text.left(kMaxFieldText));
}

std::uint32_t ReadingsTable::internText(QLatin1StringView text) {
    return pool_.intern(text.left(kMaxFieldText));
}

bool ReadingsTable::append(std::span<const PackedRow> rows) {
    if (rows.empty()) return true;
    if (rows.size() > static_cast<std::size_t>(kMaxTableRows) - rows_) return false;
    const int first = size();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    for (const PackedRow& r : rows) {
        const std::size_t block = rows_ / kBlockRows;
        if (block == blocks_.size())
            blocks_.push_back(std::make_unique_for_overwrite<StoredRow[]>(kBlockRows));
        StoredRow& s = blocks_[block][rows_ % kBlockRows];
        s.recordedAtMs = 0;
        s.no = r.no.value_or(0);
        s.nval = r.nval.value_or(0);
        s.text = r.text;
        s.flags = (r.no ? 0 : kNoEmpty) | (r.nval ? 0 : kNvalEmpty) | kNoRecordedAt;
        ++rows_;
    }
    endInsertRows();
    return true;
}

void ReadingsTable::clear() {
    beginResetModel();
    blocks_.clear();
    rows_ = 0;
    // The pool goes too: after a clear the texts of a long recording would only hold memory.
    resetPool();
    endResetModel();
}

void ReadingsTable::takeRows(ReadingsTable& other) {
    if (&other == this) return;
    beginResetModel();
    other.beginResetModel();
    blocks_ = std::move(other.blocks_);
    rows_ = std::exchange(other.rows_, 0);
    pool_ = std::move(other.pool_);
    other.blocks_.clear();
    lastIds_ = other.lastIds_;
    other.resetPool();
    other.endResetModel();
    endResetModel();
}

RowData ReadingsTable::row(int index) const {
    const StoredRow& s = stored(index);
    RowData r;
    if (!(s.flags & kNoEmpty)) r.no = s.no;
    if (!(s.flags & kNvalEmpty)) r.nval = s.nval;
    r.recordedAt = recordedAt(index);
    r.rangeMode = rangeMode(index);
    for (Field f : {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto})
        r.text(f) = pool_.text(s.text[textSlot(f)]);
    return r;
}

std::optional<std::int32_t> ReadingsTable::integer(int row, Field f) const {
    const StoredRow& s = stored(row);
    if (f == Field::No) return (s.flags & kNoEmpty) ? std::nullopt : std::optional(s.no);
    if (f == Field::Nval) return (s.flags & kNvalEmpty) ? std::nullopt : std::optional(s.nval);
    return std::nullopt;
}

QString ReadingsTable::text(int row, Field f) const {
    if (isIntegerField(f)) {
        auto v = integer(row, f);
        return v ? QString::number(*v) : QString();
    }
    return pool_.text(stored(row).text[textSlot(f)]);
}

QStringView ReadingsTable::textView(int row, Field f) const {
    if (isIntegerField(f)) return {};
    return pool_.view(stored(row).text[textSlot(f)]);
}

bool ReadingsTable::isEmpty(int row, Field f) const {
    if (isIntegerField(f)) return !integer(row, f);
    return stored(row).text[textSlot(f)] == 0;
}

QDateTime ReadingsTable::recordedAt(int row) const {
    const StoredRow& s = stored(row);
    if (s.flags & kNoRecordedAt) return {};
    return QDateTime::fromMSecsSinceEpoch(s.recordedAtMs);
}

std::optional<std::int64_t> ReadingsTable::recordedAtMSecs(int row) const {
    const StoredRow& s = stored(row);
    if (s.flags & kNoRecordedAt) return std::nullopt;
    return s.recordedAtMs;
}

QString ReadingsTable::rangeMode(int row) const {
    return QString::fromLatin1(kRangeModes[(stored(row).flags & kRangeMask) >> kRangeShift]);
}

int ReadingsTable::internedTexts() const {
    return pool_.size();
}

int ReadingsTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

int ReadingsTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFieldCount;
}

namespace {
Qt::Alignment gridAlignment(Field f) {
    switch (f) {
    case Field::Time:
    case Field::DcAc:
    case Field::Auto:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case Field::Value:
    case Field::Unit:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
} // namespace

QVariant ReadingsTable::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto f = static_cast<Field>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (f == Field::Unit) return unitSymbols(text(index.row(), f));
        return text(index.row(), f);
    case FieldTextRole:
        if (isIntegerField(f)) {
            auto v = integer(index.row(), f);
            return v ? QVariant(*v) : QVariant();
        }
        return text(index.row(), f);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(gridAlignment(f));
    default:
        return {};
    }
}

QVariant ReadingsTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= kFieldCount) return {};
        if (role == Qt::DisplayRole) return QString::fromLatin1(kGridTitles[section]);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(gridAlignment(static_cast<Field>(section)));
        return {};
    }
    if (role == Qt::DisplayRole && section >= 0 && section < size()) return section + 1;
    return {};
}

Qt::ItemFlags ReadingsTable::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace dmm
