#pragma once
// The number and text rules every form, file and message of KALDOR shares:
//  - Val: the number a text begins with ("." as decimal point whatever the locale, 0 if none);
//  - Str: a blank before a non-negative number, "-" before a negative one, no "0" before the
//    decimal point of a number below 1, scientific notation past the precision;
//  - formatted print (a number is a blank or "-", its digits and one blank) and formatted
//    input (fields end at commas and line ends, surrounding blanks skipped);
//  - rounding of halves to the even neighbour for bytes, tank numbers and modulo;
//  - text from a file or the clipboard as a message quotes it.

#include <QByteArray>
#include <QString>
#include <optional>

namespace kaldor {

// The number at the start of text; leading blanks skipped; 0 when there is none. A number
// beyond the range of a double gives the largest double of its sign.
double val(QStringView text);

// Number to text. precision is the count of significant digits: 15 for a double, 7 for a
// single-precision number.
QString strNumber(double value, int precision = 15);
QString strNumber(long long value);
inline QString strNumber(int value)
{
    return strNumber(static_cast<long long>(value));
}

// Plain number to text, without the leading blank (50.000 gives "50").
QString plainNumber(double value, int precision = 15);

// Halves to the even neighbour: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -2.5 -> -2.
double roundHalfEven(double value);

// Halves away from zero, as the "###0" pattern rounds (2.5 -> 3, -2.5 -> -3); the result
// is formatted without separators and with "-" when negative.
QString formatWholeNumber(double value);

// A numeric item of a print statement: " 5 ", "-5 ".
QByteArray printNumber(long long value);
QByteArray printNumber(double value);

// Sequential reader of formatted input: a field ends at a comma or a line end; blanks and
// line ends before a field and blanks after it are skipped; the comma or line end that ends
// a field is consumed with it.
class FieldReader {
public:
    explicit FieldReader(QByteArray data);

    // The next field as text. Fails (returns nullopt) past the end of the data.
    std::optional<QString> readString();

    // The next field as a number. Sets *error to the run-time error number on failure:
    // 62 past the end, 13 when the field is not a number, 6 when it lies outside
    // -32768 .. 32767 (when asInt16 is true). Fractions round half to even.
    std::optional<int> readInt16(int* error);
    std::optional<double> readNumber(int* error);

    // True once nothing but blanks and line ends remains.
    bool atEnd() const;

    qsizetype position() const { return m_pos; }

private:
    std::optional<QByteArray> nextField();
    std::optional<QByteArray> nextNumberField(int* error); // sets 62 past the end
    QByteArray m_data;
    qsizetype m_pos = 0;
};

// One whole field (as FieldReader splits them) as a number, with readNumber's and
// readInt16's errors: 13 not a number, 6 outside -32768 .. 32767.
std::optional<double> numberFromField(const QByteArray& field, int* error);
std::optional<int> int16FromField(const QByteArray& field, int* error);

// What a field failure means, in words: "it ends before all its fields were read" for 62.
QString fieldErrorText(int errorNumber);

// How much of a quoted text a message shows.
inline constexpr qsizetype kQuotedChars = 60;

// Text read from a file (or pasted), as a message quotes it: each control character (line ends,
// ESC, DEL, the C1 range) and each invisible format character (such as a bidirectional
// override) written as \xHH or \uHHHH, so that what is quoted can neither move a terminal's
// cursor nor retitle its window nor turn the message around; past maxChars characters cut, with
// "..." after. Every message that quotes a file's bytes quotes them through this.
QString quotedText(QStringView text, qsizetype maxChars = kQuotedChars);

} // namespace kaldor
