#pragma once
// What an operation would tell the user: information or a refusal, in the system's own
// words. Operations return these; a window shows them in message boxes, the headless tool
// prints information on stdout and refusals on stderr.

#include "store/textrules.h"

#include <QList>
#include <QString>

namespace kaldor {

enum class MessageKind { Info, Refusal };

struct Message {
    MessageKind kind = MessageKind::Info;
    QString text;
    friend bool operator==(const Message&, const Message&) = default;
};
using Messages = QList<Message>;

inline Message info(const QString& text) { return {MessageKind::Info, text}; }
inline Message refusal(const QString& text) { return {MessageKind::Refusal, text}; }

// Run-time failure numbers, in the numbering of the original tool's run time.
namespace err {
constexpr int kInvalidCall = 5;  // a byte outside 0..255, a bad argument
constexpr int kOverflow = 6;     // a number outside a 16-bit integer
constexpr int kSubscript = 9;    // past the end of a table or buffer
constexpr int kDivisionByZero = 11;
constexpr int kTypeMismatch = 13; // a field that is not a number
constexpr int kFileNotFound = 53;
constexpr int kDiskFull = 61;
constexpr int kInputPastEnd = 62;
constexpr int kBadFileName = 64;
constexpr int kPermissionDenied = 70;
constexpr int kPathAccess = 75;
constexpr int kPathNotFound = 76;
} // namespace err

// "Error: " and the number in the Str form, so two blanks stand before the digits.
inline QString errorText(int number) { return QStringLiteral("Error: ") + strNumber(static_cast<long long>(number)); }

} // namespace kaldor
