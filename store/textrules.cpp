#include "store/textrules.h"

#include "store/limits.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace kaldor {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Length of the number syntax at the start of s (sign, digits, fraction, exponent), or 0.
qsizetype numberPrefix(QStringView s, bool* hasDigits)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
    qsizetype digits = 0;
    while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    *hasDigits = digits > 0;
    if (!*hasDigits) return 0;
    // An exponent counts only when digits follow it.
    if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == u'+' || s[j] == u'-')) ++j;
        qsizetype expDigits = 0;
        while (j < n && s[j].isDigit() && s[j].unicode() < 128) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0) i = j;
    }
    return i;
}

double parseNumber(QStringView s)
{
    // The number syntax is plain ASCII; "d" exponents read as "e".
    std::string text;
    text.reserve(size_t(s.size()));
    for (const QChar c : s)
        text.push_back(c == u'd' || c == u'D' ? 'e' : char(c.unicode()));
    // A number beyond the largest double (1e400, or thousands of digits) reads as the largest,
    // so that every check that refuses 1e300 refuses it too instead of taking it for 0.
    const double v = std::strtod(text.c_str(), nullptr);
    return std::isinf(v) ? std::copysign(std::numeric_limits<double>::max(), v) : v;
}

} // namespace

double val(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const QStringView rest = text.mid(i);
    bool hasDigits = false;
    const qsizetype len = numberPrefix(rest, &hasDigits);
    if (len == 0) return 0.0;
    return parseNumber(rest.left(len));
}

QString plainNumber(double value, int precision)
{
    if (value == 0.0 || !std::isfinite(value)) return QStringLiteral("0");
    const bool negative = value < 0;
    // Mantissa digits and exponent, rounded to the precision, trailing zeros dropped.
    const QString e = QString::number(std::fabs(value), 'e', precision - 1);
    const qsizetype ePos = e.indexOf(u'e');
    QString digits = e.left(ePos);
    digits.remove(u'.');
    int exponent = e.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    const int k = int(digits.size());

    QString out;
    const bool scientific =
        exponent >= precision || (exponent < 0 && (-exponent - 1) + k > precision);
    if (scientific) {
        out = digits.left(1);
        if (k > 1) out += u'.' + digits.mid(1);
        out += u'E';
        out += exponent < 0 ? u'-' : u'+';
        out += QString::number(std::abs(exponent)).rightJustified(2, u'0');
    } else if (exponent < 0) {
        out = u'.' + QString(-exponent - 1, u'0') + digits;
    } else if (exponent + 1 >= k) {
        out = digits + QString(exponent + 1 - k, u'0');
    } else {
        out = digits.left(exponent + 1) + u'.' + digits.mid(exponent + 1);
    }
    return negative ? u'-' + out : out;
}

QString strNumber(double value, int precision)
{
    const QString plain = plainNumber(value, precision);
    return plain.startsWith(u'-') ? plain : u' ' + plain;
}

QString strNumber(long long value)
{
    return value < 0 ? QString::number(value) : u' ' + QString::number(value);
}

double roundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

QString formatWholeNumber(double value)
{
    const double r = std::round(value); // halves away from zero
    if (r == 0.0) return QStringLiteral("0");
    return QString::number(static_cast<long long>(r));
}

QByteArray printNumber(long long value)
{
    return (value < 0 ? QByteArray::number(value) : ' ' + QByteArray::number(value)) + ' ';
}

QByteArray printNumber(double value)
{
    return strNumber(value).toLatin1() + ' ';
}

FieldReader::FieldReader(QByteArray data) : m_data(std::move(data)) {}

bool FieldReader::atEnd() const
{
    const char* d = m_data.constData();
    for (qsizetype i = m_pos; i < m_data.size(); ++i) {
        if (!isBlank(d[i]) && !isLineEnd(d[i])) return false;
    }
    return true;
}

std::optional<QByteArray> FieldReader::nextField()
{
    const char* d = m_data.constData();
    const qsizetype n = m_data.size();
    qsizetype i = m_pos;
    while (i < n && (isBlank(d[i]) || isLineEnd(d[i])))
        ++i;
    if (i >= n) {
        m_pos = n;
        return std::nullopt;
    }
    const qsizetype start = i;
    while (i < n && d[i] != ',' && !isLineEnd(d[i]))
        ++i;
    qsizetype end = i;
    while (end > start && isBlank(d[end - 1]))
        --end;
    // Consume the delimiter: a comma, or one line end (CR LF counts as one).
    if (i < n && d[i] == ',') {
        ++i;
    } else if (i < n && d[i] == '\r') {
        ++i;
        if (i < n && d[i] == '\n') ++i;
    } else if (i < n && d[i] == '\n') {
        ++i;
    }
    m_pos = i;
    return QByteArray(d + start, end - start);
}

std::optional<QString> FieldReader::readString()
{
    const auto field = nextField();
    if (!field) return std::nullopt;
    return QString::fromLatin1(*field);
}

namespace {
// A field of an optional minus and up to nine digits, the whole of nearly every field the
// program writes, read without building strings; anything else takes the general path.
std::optional<double> plainInteger(const QByteArray& field)
{
    constexpr qsizetype kMaxDigits = 9;
    const char* d = field.constData();
    qsizetype i = 0;
    const bool negative = !field.isEmpty() && d[0] == '-';
    if (negative) ++i;
    const qsizetype digits = field.size() - i;
    if (digits < 1 || digits > kMaxDigits) return std::nullopt;
    long value = 0;
    for (; i < field.size(); ++i) {
        if (d[i] < '0' || d[i] > '9') return std::nullopt;
        value = value * 10 + (d[i] - '0');
    }
    return double(negative ? -value : value);
}
} // namespace

std::optional<double> numberFromField(const QByteArray& field, int* error)
{
    if (const auto plain = plainInteger(field)) return plain;
    const QString text = QString::fromLatin1(field);
    bool hasDigits = false;
    const qsizetype len = numberPrefix(text, &hasDigits);
    if (len == 0 || len != text.size()) {
        if (error) *error = err::kTypeMismatch;
        return std::nullopt;
    }
    return parseNumber(text);
}

std::optional<int> int16FromField(const QByteArray& field, int* error)
{
    const auto number = numberFromField(field, error);
    if (!number) return std::nullopt;
    const double r = roundHalfEven(*number);
    if (!(r >= -32768.0 && r <= 32767.0)) {
        if (error) *error = err::kOverflow;
        return std::nullopt;
    }
    return static_cast<int>(r);
}

QString fieldErrorText(int errorNumber)
{
    switch (errorNumber) {
    case err::kInputPastEnd:
        return QStringLiteral("it ends before all its fields were read");
    case err::kTypeMismatch:
        return QStringLiteral("a field that should be a number is not one");
    case err::kOverflow:
        return QStringLiteral("a number lies outside -32768 to 32767");
    default:
        return QStringLiteral("error %1").arg(errorNumber);
    }
}

std::optional<QByteArray> FieldReader::nextNumberField(int* error)
{
    auto field = nextField();
    if (!field && error) *error = err::kInputPastEnd;
    return field;
}

std::optional<double> FieldReader::readNumber(int* error)
{
    const auto field = nextNumberField(error);
    return field ? numberFromField(*field, error) : std::nullopt;
}

std::optional<int> FieldReader::readInt16(int* error)
{
    const auto field = nextNumberField(error);
    return field ? int16FromField(*field, error) : std::nullopt;
}

QString quotedText(QStringView text, qsizetype maxChars)
{
    QString out;
    qsizetype taken = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++taken) {
        if (taken == maxChars) {
            out += QStringLiteral("...");
            break;
        }
        const QChar c = text[i];
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format) {
            const int digits = c.unicode() < 0x100 ? 2 : 4;
            out += (digits == 2 ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(digits, u'0');
        } else {
            out += c;
            // A character beyond the first plane stays whole.
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                out += text[++i];
        }
    }
    return out;
}

} // namespace kaldor
