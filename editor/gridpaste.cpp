#include "editor/gridpaste.h"

#include "editor/gridtyping.h"
#include "store/curvecheck.h"
#include "store/textrules.h"

#include <algorithm>

namespace kaldor {

namespace {

const QChar kTab = QLatin1Char('\t');

// A cell holds a number when, blanks skipped, it begins with one: a digit, or a sign or a point
// before a digit.
bool holdsNumber(const QString& cell)
{
    const QString t = cell.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) ++i;
    if (i < t.size() && t[i] == u'.') ++i;
    return i < t.size() && t[i].isDigit() && t[i].unicode() < 128;
}

GridPaste refused(int line, const QString& why)
{
    GridPaste paste;
    paste.messages.append(
        refusal(QStringLiteral("Pasted row %1 not accepted: %2").arg(line).arg(why)));
    return paste;
}

} // namespace

QString copyGridRows(const CurveTable& table, int first, int last)
{
    QString text;
    for (int r = first; r <= last; ++r)
        text += table.value(r).trimmed() + kTab + table.percent(r).trimmed() + QLatin1Char('\n');
    return text;
}

GridPaste pasteIntoGrid(CurveTable& table, int row, const QString& text, bool offsetCapable)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.constLast().trimmed().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    // A spreadsheet's header row ("VALUE", "%") is left out: a first row with no number in it.
    const QStringList firstCells = lines.first().split(kTab);
    const qsizetype header = lines.size() > 1 && !lines.first().trimmed().isEmpty() &&
                                     std::none_of(firstCells.begin(), firstCells.end(), holdsNumber)
                                 ? 1
                                 : 0;
    CurveTable pasted = table;
    for (qsizetype i = header; i < lines.size(); ++i) {
        const int line = int(i) + 1;
        const int r = row + int(i - header);
        const QStringList cells = lines[i].split(kTab);
        if (cells.size() > 2)
            return refused(
                line,
                QStringLiteral("it has %1 columns; paste VALUE and % only.").arg(cells.size()));
        if (r > CurveTable::kRows)
            return refused(line, QStringLiteral("the grid ends at row %1.").arg(CurveTable::kRows));
        const QString value = cells.value(0).trimmed();
        const QString percent = cells.value(1).trimmed();
        // As a message quotes them: a control character pasted shows as its code.
        const QString quotedValue = quotedText(value);
        const QString quotedPercent = quotedText(percent);
        if (!value.isEmpty() && !isValueCellText(value, offsetCapable))
            return refused(
                line, QStringLiteral("VALUE \"%1\" must be up to %2 digits%3.")
                          .arg(quotedValue, QString::number(kMaxValueChars),
                               offsetCapable
                                   ? QStringLiteral(", or a minus and %1").arg(kMaxValueChars - 1)
                                   : QString()));
        if (!percent.isEmpty() && !isPercentCellText(percent))
            return refused(line, QStringLiteral("% \"%1\" must be a number from 0 to %2 of at most "
                                                "%3 characters.")
                                     .arg(quotedPercent, plainNumber(kLastPercent),
                                          QString::number(kMaxPercentChars)));
        pasted.setValue(r, value);
        pasted.setPercent(r, percent);
    }
    table = pasted;
    GridPaste paste;
    paste.ok = true;
    paste.rows = int(lines.size() - header);
    return paste;
}

CurveTable curveTableOf(const QVector<CellRow>& rows)
{
    CurveTable table;
    for (int i = 0; i < rows.size() && i < CurveTable::kRows; ++i) {
        table.setValue(i + 1, rows[i].value);
        table.setPercent(i + 1, rows[i].percent);
    }
    return table;
}

} // namespace kaldor
