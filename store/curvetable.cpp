#include "store/curvetable.h"

namespace kaldor {

CurveTable::CurveTable() : m_rows(kRows) {}

QString CurveTable::value(int row) const
{
    return inRange(row) ? m_rows[row - 1].value : QString();
}

QString CurveTable::percent(int row) const
{
    return inRange(row) ? m_rows[row - 1].percent : QString();
}

QString CurveTable::text(int row, int column) const
{
    return column == kPercentColumn ? percent(row)
           : column == kValueColumn ? value(row)
                                    : QString();
}

void CurveTable::setValue(int row, const QString& text)
{
    if (inRange(row)) m_rows[row - 1].value = text;
}

void CurveTable::setPercent(int row, const QString& text)
{
    if (inRange(row)) m_rows[row - 1].percent = text;
}

void CurveTable::setText(int row, int column, const QString& text)
{
    if (column == kPercentColumn)
        setPercent(row, text);
    else if (column == kValueColumn)
        setValue(row, text);
}

void CurveTable::deleteRow(int row)
{
    if (!inRange(row)) return;
    m_rows.removeAt(row - 1);
    m_rows.append(Row{});
}

void CurveTable::insertRow(int row)
{
    if (!inRange(row)) return;
    m_rows.insert(row - 1, Row{});
    m_rows.removeLast();
}

void CurveTable::clear()
{
    m_rows = QList<Row>(kRows);
}

int CurveTable::filledRows() const
{
    int last = 0;
    for (int r = 1; r <= kRows; ++r) {
        if (!m_rows[r - 1].value.isEmpty() || !m_rows[r - 1].percent.isEmpty()) last = r;
    }
    return last;
}

} // namespace kaldor
