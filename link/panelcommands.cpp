#include "link/panelcommands.h"

namespace kaldor {

const char* keypadLetters(KeypadKey key)
{
    switch (key) {
    case KeypadKey::Program:
        return "PG";
    case KeypadKey::Up:
        return "UP";
    case KeypadKey::Down:
        return "DN";
    case KeypadKey::Set:
        return "SW";
    }
    return "PG";
}

std::optional<KeypadKey> keypadKeyFromLetters(const QString& letters)
{
    for (const KeypadKey k : {KeypadKey::Program, KeypadKey::Up, KeypadKey::Down, KeypadKey::Set}) {
        if (letters == QLatin1String(keypadLetters(k))) return k;
    }
    return std::nullopt;
}

ExchangeResult sendClearCommand(ExchangeContext& ctx)
{
    if (!writeCommand(ctx.port, "CL")) return lineFailed(ctx.port, 0);
    return stageResult(Outcome::Done, 0);
}

ExchangeResult sendKeypadCommand(ExchangeContext& ctx, KeypadKey key, bool discardFirst)
{
    if (discardFirst) discardInput(ctx.port);
    const char* l = keypadLetters(key);
    const char letters[3] = {l[0], l[1], 0};
    if (!writeCommand(ctx.port, letters)) return lineFailed(ctx.port, 0);
    return stageResult(Outcome::Done, 0);
}

} // namespace kaldor
