#include "editor/gridpaste.h"

#include "editor/curvecheck.h"
#include "editor/gridtyping.h"

namespace kaldor
{

namespace
{

const QChar kTab = QLatin1Char('\t');

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
    CurveTable pasted = table;
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        QString rowText = lines[i];
        if (rowText.endsWith(QLatin1Char('\r'))) rowText.chop(1);
        const QStringList cells = rowText.split(kTab);
        if (cells.size() > 2)
            return refused(
                line,
                QStringLiteral("it has %1 columns; paste VALUE and % only.").arg(cells.size()));
        if (row + i > CurveTable::kRows)
            return refused(line, QStringLiteral("the grid ends at row %1.").arg(CurveTable::kRows));
        const QString value = cells.value(0).trimmed();
        const QString percent = cells.value(1).trimmed();
        if (!value.isEmpty() && !isValueCellText(value, offsetCapable))
            return refused(
                line, QStringLiteral("VALUE \"%1\" must be up to %2 digits%3.")
                          .arg(value, QString::number(kMaxValueChars),
                               offsetCapable
                                   ? QStringLiteral(", or a minus and %1").arg(kMaxValueChars - 1)
                                   : QString()));
        if (!percent.isEmpty() && !isPercentCellText(percent))
            return refused(line, QStringLiteral("% \"%1\" must be a number from 0 to %2 of at most "
                                                "%3 characters.")
                                     .arg(percent, plainNumber(kLastPercent),
                                          QString::number(kMaxPercentChars)));
        pasted.setValue(row + i, value);
        pasted.setPercent(row + i, percent);
    }
    table = pasted;
    GridPaste paste;
    paste.ok = true;
    paste.rows = int(lines.size());
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
