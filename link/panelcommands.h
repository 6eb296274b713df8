#pragma once
// Clear and the keypad ("CL", "PG", "UP", "DN", "SW"): commands the meter does not answer.

#include "link/wire.h"

#include <QString>
#include <optional>

namespace kaldor {

enum class KeypadKey { Program, Up, Down, Set };
const char* keypadLetters(KeypadKey key);
std::optional<KeypadKey> keypadKeyFromLetters(const QString& letters);

// No reply is read. Fails when a byte could not be handed to the line.
ExchangeResult sendClearCommand(ExchangeContext& ctx);
// discardFirst: the keypad window drops what waits before it sends "PG".
ExchangeResult sendKeypadCommand(ExchangeContext& ctx, KeypadKey key, bool discardFirst = false);

} // namespace kaldor
