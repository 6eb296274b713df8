#include "editor/strapping.h"

#include "store/inputfile.h"
#include "store/limits.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace kaldor {

namespace {

// A field as a number: blanks and surrounding quotes removed; with decimalComma a comma reads
// as the decimal point.
std::optional<double> numberField(QString field, bool decimalComma)
{
    field = field.trimmed();
    if (field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"'))
        field = field.mid(1, field.size() - 2).trimmed();
    if (decimalComma)
        field.replace(u',', u'.');
    bool ok = false;
    const double v = QLocale::c().toDouble(field, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QChar separatorOf(const QString& line)
{
    if (line.contains(u'\t'))
        return u'\t';
    if (line.contains(u';'))
        return u';';
    return u',';
}

} // namespace

StrappingTable parseStrappingTable(const QByteArray& data)
{
    StrappingTable table;
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    std::optional<QChar> separator;
    const auto refuse = [&](int line, const QString& why) {
        table.rows.clear();
        table.errorLine = line;
        table.refusal = QStringLiteral("line %1: %2").arg(line).arg(why);
        return table;
    };
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        QString row = lines[i];
        if (row.endsWith(u'\r'))
            row.chop(1);
        if (row.trimmed().isEmpty())
            continue;
        if (!separator)
            separator = separatorOf(row);
        const QStringList fields = row.split(*separator);
        const bool decimalComma = *separator != u',';
        const auto level = fields.size() == 2 ? numberField(fields[0], decimalComma) : std::nullopt;
        const auto volume = fields.size() == 2 ? numberField(fields[1], decimalComma) : std::nullopt;
        if (!level || !volume) {
            if (line == 1)
                continue; // the header
            return refuse(line, QStringLiteral("a row is a level and a volume, two numbers, not '%1'").arg(row.trimmed()));
        }
        if (table.rows.size() == limits::kMaxStrappingRows)
            return refuse(line, QStringLiteral("a table holds at most %1 rows").arg(limits::kMaxStrappingRows));
        table.rows.append({*level, *volume, line});
    }
    if (table.rows.isEmpty())
        table.refusal = QStringLiteral("the table has no rows");
    return table;
}

StrappingTable readStrappingTable(const QString& path)
{
    InputFile file = readInputFile(path);
    StrappingTable table;
    if (!file.ok()) {
        table.refusal = fileRefusal(path, file.reason);
        return table;
    }
    table = parseStrappingTable(file.data);
    if (!table.ok())
        table.refusal = fileRefusal(path, table.refusal);
    return table;
}

} // namespace kaldor
