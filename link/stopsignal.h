#pragma once
// SIGTERM and SIGINT as a stop of the exchange under way. The handler only sets a lock-free
// flag; every wait of an exchange looks at it (ExchangeContext::cancel), so the exchange ends
// at its next wait and says where it stopped, and what the run keeps (the trace, a backup) is
// still written. A second signal ends the process at once.

#include <atomic>

namespace kaldor {

// Installs the handlers, once, and returns the flag they set.
const std::atomic_bool& stopOnTerminationSignals();

// The signal that set the flag; 0 while none has come.
int stopSignalNumber();

} // namespace kaldor
