#include "curves/strapping.h"

#include "curves/tankshape.h"
#include "store/inputfile.h"
#include "store/limits.h"
#include "store/textrules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace kaldor {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view f)
{
    while (!f.empty() && isBlank(f.front()))
        f.remove_prefix(1);
    while (!f.empty() && isBlank(f.back()))
        f.remove_suffix(1);
    return f;
}

// A field as a number: blanks and surrounding quotes removed; with decimalComma a comma reads
// as the decimal point. The whole field must be the number.
std::optional<double> numberField(std::string_view field, bool decimalComma)
{
    field = trimmed(field);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        field = trimmed(field.substr(1, field.size() - 2));
    if (!field.empty() && field.front() == '+') field.remove_prefix(1);
    std::string text(field);
    if (decimalComma) std::replace(text.begin(), text.end(), ',', '.');
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString quoted(std::string_view bytes)
{
    return quotedText(QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
}

// The unit a header's level field names: a word of its own ("Level mm", "Level (mm)",
// "Level in ft", "Level [%]"). "in" standing beside another unit is the word, not inches.
QString namedUnit(std::string_view field)
{
    QStringList units;
    const QString text = QString::fromUtf8(field.data(), qsizetype(field.size())).toLower();
    QString word;
    const auto take = [&] {
        if (word == QLatin1String("%") || word == QLatin1String("percent"))
            units.append(QStringLiteral("percent"));
        else if (lengthUnitFromName(word))
            units.append(word);
        word.clear();
    };
    for (const QChar c : text) {
        if (c == u'%') {
            take();
            word = c;
            take();
        } else if (c.isLetter()) {
            word += c;
        } else {
            take();
        }
    }
    take();
    units.removeDuplicates();
    if (units.size() > 1) units.removeAll(QStringLiteral("in"));
    return units.size() == 1 ? units.first() : QString();
}

// The next line and what is left after its end: a line ends at LF, CR LF or a CR alone.
std::string_view nextLine(std::string_view& rest)
{
    const std::size_t eol = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, eol);
    if (eol == std::string_view::npos) {
        rest = {};
    } else {
        rest.remove_prefix(eol + (rest.substr(eol, 2) == "\r\n" ? 2 : 1));
    }
    return line;
}

char separatorOf(std::string_view line)
{
    if (line.find('\t') != std::string_view::npos) return '\t';
    if (line.find(';') != std::string_view::npos) return ';';
    return ',';
}

} // namespace

StrappingTable parseStrappingTable(const QByteArray& data)
{
    StrappingTable table;
    std::string_view rest(data.constData(), std::size_t(data.size()));
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    char separator = 0;
    const auto refuse = [&](int line, const QString& why) {
        table.rows.clear();
        table.errorLine = line;
        table.refusal = QStringLiteral("line %1: %2").arg(line).arg(why);
        return table;
    };
    bool first = true;
    for (int line = 1; !rest.empty(); ++line) {
        const std::string_view row = nextLine(rest);
        if (trimmed(row).empty()) continue;
        if (!separator) separator = separatorOf(row);
        const bool decimalComma = separator != ',';
        QVector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            const std::size_t cut = row.find(separator, from);
            fields.append(row.substr(from, cut == std::string_view::npos ? cut : cut - from));
            if (cut == std::string_view::npos) break;
            from = cut + 1;
        }
        const auto level = fields.size() == 2 ? numberField(fields[0], decimalComma) : std::nullopt;
        const auto volume =
            fields.size() == 2 ? numberField(fields[1], decimalComma) : std::nullopt;
        // The first row is a header when none of its fields is a number.
        if (first && std::none_of(fields.begin(), fields.end(), [&](std::string_view f) {
                return numberField(f, decimalComma).has_value();
            })) {
            first = false;
            table.header = quoted(trimmed(row));
            table.levelUnit = namedUnit(fields[0]);
            continue;
        }
        first = false;
        if (!level || !volume)
            return refuse(line,
                          QStringLiteral("a row is a level and a volume, two numbers, not '%1'")
                              .arg(quoted(trimmed(row))));
        if (table.rows.size() == limits::kMaxStrappingRows)
            return refuse(
                line,
                QStringLiteral("a table holds at most %1 rows").arg(limits::kMaxStrappingRows));
        table.rows.append({*level, *volume, line});
    }
    if (table.rows.isEmpty()) table.refusal = QStringLiteral("the table has no rows");
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
    if (!table.ok()) table.refusal = fileRefusal(path, table.refusal);
    return table;
}

} // namespace kaldor
