#pragma once
// One tank's curve as the editor's grid holds it: rows 1 to 100, each a VALUE text and a
// percentage text. The grid always keeps 100 point rows: deleting a row appends an empty one
// at the bottom, inserting one drops the bottom row. The current cell is the grid view's.

#include <QList>
#include <QString>

namespace kaldor {

class CurveTable {
public:
    static constexpr int kRows = 100;
    static constexpr int kValueColumn = 1;
    static constexpr int kPercentColumn = 2;

    CurveTable();

    // Rows count from 1; outside 1 .. 100 a read gives an empty text and a write is ignored.
    QString value(int row) const;
    QString percent(int row) const;
    QString text(int row, int column) const;
    void setValue(int row, const QString& text);
    void setPercent(int row, const QString& text);
    void setText(int row, int column, const QString& text);

    void deleteRow(int row);
    void insertRow(int row);
    // Empties every cell.
    void clear();

    // Rows 1 .. n that hold anything, for tests and diagnostics.
    int filledRows() const;

    friend bool operator==(const CurveTable&, const CurveTable&) = default;

private:
    struct Row {
        QString value;
        QString percent;
        friend bool operator==(const Row&, const Row&) = default;
    };
    static bool inRange(int row) { return row >= 1 && row <= kRows; }
    QList<Row> m_rows;
};

// What a cell can hold: a VALUE text is four digits, or a minus and three; a typed percentage
// two digits, a stop and two digits.
inline constexpr int kMaxValueChars = 4;
inline constexpr int kMaxPercentChars = 5;
// The whole values a VALUE text of kMaxValueChars can hold; below 0 only in the offset-capable
// mode.
constexpr int largestWithDigits(int digits)
{
    return digits <= 0 ? 0 : 10 * largestWithDigits(digits - 1) + 9;
}
inline constexpr int kLargestCellValue = largestWithDigits(kMaxValueChars);       // 9999
inline constexpr int kSmallestCellValue = -largestWithDigits(kMaxValueChars - 1); // -999
constexpr bool valueFitsCell(long long value, bool offsetCapable)
{
    return value <= kLargestCellValue && value >= (offsetCapable ? kSmallestCellValue : 0);
}

// A cell of the grid: row 1 .. 100, column kValueColumn or kPercentColumn.
struct GridCell {
    int row = 1;
    int column = CurveTable::kValueColumn;
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

} // namespace kaldor
