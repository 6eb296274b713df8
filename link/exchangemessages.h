#pragma once
// The texts each window shows for what an exchange returned.

#include "link/wire.h"
#include "store/messages.h"

namespace kaldor {

enum class DownloadVariant { MainWindow, Editor };

Messages downloadMessages(const ExchangeResult& result, DownloadVariant variant);
Messages uploadMessages(const ExchangeResult& result);
Messages sendTankMessages(const ExchangeResult& result);
Messages clearMessages(const ExchangeResult& result);
// Empty when done: the keypad shows nothing.
Messages keypadMessages(const ExchangeResult& result);

// The text for a line that failed or an exchange that was called off, shared by all.
QString lineFailureText(const ExchangeResult& result);

} // namespace kaldor
