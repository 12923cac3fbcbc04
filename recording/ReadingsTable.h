// The readings table `cds1`: every recorded or loaded reading, in the order it was appended.
//
// Seven fields, in this order (the text loader fills them by position):
//   0 `no`    32-bit integer   record number
//   1 `time`  text, <= 20      time of day "hh:mm:ss"
//   2 `dc/ac` text, <= 20      function / coupling
//   3 `value` text, <= 20      the reading as displayed
//   4 `unit`  text, <= 20      unit in the annunciator character code ("k*", "#", "mV")
//   5 `auto`  text, <= 20      judge text ("pass", "Fail" or empty)
//   6 `nval`  32-bit integer   signed display count
//
// Besides the fields, a row the recorder appended keeps the date and time it was recorded at
// (recordedAt, to the millisecond) and the meter's range mode ("AUTO" or "MANU"). They are no
// fields: the grid does not show them and the data files do not carry them; rows loaded from a
// file have neither, and rows stamped with the recall clock's time of day have no recordedAt.
//
// Every field can be empty. An integer field is empty when nothing was stored into it (a row
// loaded from a text file has no `nval`); a text field is empty when its text is empty. Empty
// fields show as empty cells, are saved as "NULL" in text files and are left out of XML rows.
//
// Storage: a recording repeats the same few texts over and over (the function, the unit, the
// judge text, the time of day, and a value text that the display can only show in so many
// ways), so every text is interned in a pool (TextPool) and a row holds 32-bit ids: a row costs
// 40 bytes (the two integers, five ids, the date and time as 64-bit milliseconds since the epoch,
// and a byte of flags: what is empty, and the range mode) plus its share of the distinct texts.
// Rows live in fixed-size blocks, so an append never moves the rows already stored and costs
// the same at ten million rows as at ten. The worst case, every text of every row different and
// 20 characters long, is 40 + 5 * 53 bytes, under kWorstRowBytes a row (TextPool states a text's
// cost): some 6 GB at kMaxTableRows.
//
// As a Qt model it has seven columns in field order; the grid shows the first six and hides
// column 6 (`nval`, see kNvalColumn). headerData() gives the grid's titles ("no.", "time",
// "Function", "value", "unit", "Judge", and "nval" for the hidden column) and
// Qt::TextAlignmentRole the grid's alignments (time, dc/ac and auto centred; value and unit
// right-aligned; no left-aligned). Qt::DisplayRole of the unit column shows the unit as the
// symbols a user reads (unitSymbols()); FieldTextRole gives every field's stored text (the unit
// in its character code) or, for integers, the number (an invalid QVariant when empty).
// Appends announce themselves with beginInsertRows/endInsertRows; only clear() and takeRows()
// reset the model. The model is read-only.
#pragma once

#include "TextPool.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace dmm {

enum class Field : int { No = 0, Time, DcAc, Value, Unit, Auto, Nval };
inline constexpr int kFieldCount = 7;
inline constexpr int kNvalColumn = 6;
// Longer texts are cut to this many characters when stored.
inline constexpr int kMaxFieldText = 20;
// The table refuses rows beyond this count: twice the "limitless" record limit, so a recording
// that reaches the limit can still take a loaded file, while a hostile file of millions of tiny
// lines cannot take the machine's memory (at 40 bytes a row this is under 1 GB).
inline constexpr int kMaxTableRows = 20'000'000;
// What a row costs at most, every text different and as long as can be (see Storage above).
inline constexpr int kWorstRowBytes = 310;

// The field's name as the table spells it: "no", "time", "dc/ac", "value", "unit", "auto",
// "nval".
const char* fieldName(Field f);
// Looks a field up by name without regard to case ("No", "DC/AC", "AUTO", "Nval" ...).
std::optional<Field> fieldByName(QStringView name);
inline bool isIntegerField(Field f) {
    return f == Field::No || f == Field::Nval;
}

// One row as values. Texts longer than kMaxFieldText are cut when the row is stored.
struct RowData {
    std::optional<std::int32_t> no;
    QString time;
    QString dcAc;
    QString value;
    QString unit;
    QString judge; // field `auto`
    std::optional<std::int32_t> nval;
    QDateTime recordedAt; // invalid: none (see the header comment)
    QString rangeMode;    // "AUTO", "MANU" or empty; any other text is stored as empty

    const QString& text(Field f) const; // the text fields; an empty string for no/nval
    QString& text(Field f);
    bool operator==(const RowData&) const = default;
};

class ReadingsTable : public QAbstractTableModel {
    Q_OBJECT
public:
    // The stored text (unit in its code) or the number; see the header comment.
    static constexpr int FieldTextRole = Qt::UserRole + 1;

    explicit ReadingsTable(QObject* parent = nullptr);
    ~ReadingsTable() override;

    int size() const { return static_cast<int>(rows_); }
    bool empty() const { return rows_ == 0; }

    // Appends one row at the end and posts it. False (nothing appended) once the table holds
    // kMaxTableRows rows.
    bool append(const RowData& row);
    // Appends rows as one insertion; false, appending nothing, if they would pass kMaxTableRows.
    bool append(std::span<const RowData> rows);
    // A row as a loader builds it: its texts already interned with internText() of this table.
    struct PackedRow {
        std::optional<std::int32_t> no;
        std::optional<std::int32_t> nval;
        std::array<std::uint32_t, 5> text{}; // time, dc/ac, value, unit, auto
    };
    // The id of a text in this table's pool, cut to kMaxFieldText characters (0: empty). An id
    // stays valid until clear() or takeRows(); taking texts as Latin-1 bytes spares a loader
    // the QString of every cell.
    std::uint32_t internText(QStringView text);
    std::uint32_t internText(QLatin1StringView text);
    // Appends packed rows as one insertion, as append(std::span<const RowData>) does.
    bool append(std::span<const PackedRow> rows);
    // Empties the table (a model reset).
    void clear();
    // Replaces the whole content by `other`'s rows (a model reset here and there), leaving
    // `other` empty: a loader fills a table of its own and hands it over once the file proved
    // sound.
    void takeRows(ReadingsTable& other);

    RowData row(int index) const;
    // The text of a text field (empty for an empty field); for no/nval the number in decimal
    // or an empty string.
    QString text(int row, Field f) const;
    std::optional<std::int32_t> integer(int row, Field f) const; // no/nval only
    bool isEmpty(int row, Field f) const;
    // The same text as a view into the table's pool, valid until the table changes: a writer
    // reads every cell without a copy.
    QStringView textView(int row, Field f) const;
    // The date and time the row was recorded at, in local time; invalid when it has none.
    QDateTime recordedAt(int row) const;
    // The same as milliseconds since 1970-01-01T00:00:00Z, without a local-time conversion.
    std::optional<std::int64_t> recordedAtMSecs(int row) const;
    // "AUTO", "MANU" or an empty text.
    QString rangeMode(int row) const;

    // Distinct texts held by the pool (the empty text included); for the memory figures.
    int internedTexts() const;

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct StoredRow {
        std::int64_t recordedAtMs; // milliseconds since 1970-01-01T00:00:00Z
        std::int32_t no;
        std::int32_t nval;
        std::array<std::uint32_t, 5> text; // time, dc/ac, value, unit, auto: pool ids, 0 = ""
        // bit 0: no empty, bit 1: nval empty, bit 2: no recordedAt, bits 3-4: range mode (0 none,
        // 1 AUTO, 2 MANU)
        std::uint8_t flags;
    };
    static_assert(sizeof(StoredRow) == 40);
    static constexpr int kBlockRows = 4096;
    using Block = std::unique_ptr<StoredRow[]>;

    StoredRow pack(const RowData& row);
    const StoredRow& stored(int index) const;
    void store(const RowData& row);
    std::uint32_t intern(const QString& text, int slot);
    void resetPool();

    std::vector<Block> blocks_;
    std::size_t rows_ = 0;
    TextPool pool_; // id 0 is the empty text
    // The id each text field got in the row before: runs of equal texts skip the hash.
    std::array<std::uint32_t, 5> lastIds_{};
};

} // namespace dmm
