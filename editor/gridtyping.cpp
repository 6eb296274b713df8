#include "editor/gridtyping.h"

#include "store/curvecheck.h"
#include "store/textrules.h"

#include <algorithm>

namespace kaldor {

namespace {

bool isDigit(int code)
{
    return code >= '0' && code <= '9';
}

void typeCharacter(CurveTable& table, int code, bool offsetCapable, GridStep& step)
{
    GridCell& cell = step.cell;
    QString text = table.text(cell.row, cell.column);
    if (code == kBackspaceCode) {
        text.chop(1);
        table.setText(cell.row, cell.column, text);
        return;
    }
    if (code == kMinusCode) {
        if (offsetCapable && cell.column == CurveTable::kValueColumn)
            table.setValue(cell.row, QStringLiteral("-"));
        return;
    }
    if (!isDigit(code)) return;
    const QChar digit(code);
    if (cell.column == CurveTable::kValueColumn) {
        if (text.size() < kMaxValueChars) {
            table.setValue(cell.row, text + digit);
        } else {
            cell.column = CurveTable::kPercentColumn;
            table.setPercent(cell.row, digit);
        }
        return;
    }
    if (text.size() < kMaxPercentChars) {
        if (text.size() == 2) text += QLatin1Char('.');
        table.setPercent(cell.row, text + digit);
        return;
    }
    cell.row = std::min(cell.row + 1, int(CurveTable::kRows));
    if (cell.row - step.topRow > kRowsBelowTop)
        step.topRow = std::min(step.topRow + 1, int(CurveTable::kRows));
    cell.column = CurveTable::kValueColumn;
    table.setValue(cell.row, digit);
}

} // namespace

GridStep typeIntoGrid(CurveTable& table, GridKey key, bool offsetCapable, GridCell cell, int topRow)
{
    GridStep step{cell, topRow, 0};
    switch (key.kind) {
    case GridKey::Kind::Typed:
        typeCharacter(table, key.code, offsetCapable, step);
        break;
    case GridKey::Kind::InsertReleased:
        table.insertRow(cell.row);
        step.pointCountChange = 1;
        step.cell.column = CurveTable::kValueColumn;
        break;
    case GridKey::Kind::DeleteReleased:
        table.deleteRow(cell.row);
        step.pointCountChange = -1;
        step.cell.column = CurveTable::kValueColumn;
        break;
    case GridKey::Kind::DoubleClick:
        table.setText(cell.row, cell.column, QString());
        break;
    }
    return step;
}

bool isValueCellText(const QString& text, bool offsetCapable)
{
    const QString t = text.trimmed();
    const bool negative = offsetCapable && t.startsWith(QChar(kMinusCode));
    const QStringView digits = QStringView(t).mid(negative ? 1 : 0);
    return !digits.isEmpty() && t.size() <= kMaxValueChars &&
           std::all_of(digits.begin(), digits.end(), [](QChar c) { return isDigit(c.unicode()); });
}

bool isPercentCellText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > kMaxPercentChars || t.count(QLatin1Char('.')) > 1 ||
        t == QLatin1String("."))
        return false;
    for (const QChar c : t) {
        if (c != QLatin1Char('.') && !isDigit(c.unicode())) return false;
    }
    return val(t) <= kLastPercent;
}

GridCell clearGrid(CurveTable& table)
{
    table.clear();
    return GridCell{1, CurveTable::kValueColumn};
}

} // namespace kaldor
