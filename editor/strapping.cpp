#include "editor/strapping.h"

#include "store/inputfile.h"
#include "store/limits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace kaldor
{

namespace
{

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
    for (int line = 1; !rest.empty(); ++line) {
        const std::size_t eol = rest.find('\n');
        std::string_view row = rest.substr(0, eol);
        rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (trimmed(row).empty()) continue;
        if (!separator) separator = separatorOf(row);
        const std::size_t cut = row.find(separator);
        const bool two =
            cut != std::string_view::npos && row.find(separator, cut + 1) == std::string_view::npos;
        const bool decimalComma = separator != ',';
        const auto level = two ? numberField(row.substr(0, cut), decimalComma) : std::nullopt;
        const auto volume = two ? numberField(row.substr(cut + 1), decimalComma) : std::nullopt;
        if (!level || !volume) {
            if (line == 1) continue; // the header
            const QString text =
                QString::fromUtf8(trimmed(row).data(), qsizetype(trimmed(row).size()));
            return refuse(
                line,
                QStringLiteral("a row is a level and a volume, two numbers, not '%1'").arg(text));
        }
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
