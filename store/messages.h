#pragma once
// What an operation would tell the user: information or a refusal, in the system's own
// words. Operations return these; a window shows them in message boxes, the headless tool
// prints information on stdout and refusals on stderr.

#include "store/limits.h"
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

inline Message info(const QString& text)
{
    return {MessageKind::Info, text};
}
inline Message refusal(const QString& text)
{
    return {MessageKind::Refusal, text};
}

// "Error: " and the number in the Str form, so two blanks stand before the digits.
inline QString errorText(int number)
{
    return QStringLiteral("Error: ") + strNumber(static_cast<long long>(number));
}

} // namespace kaldor
