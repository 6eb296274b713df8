#pragma once
// The floor bench_link sets the program against: a plain blocking loop on the same
// pseudo-terminal (open, termios, poll, read, write and nothing else) doing the same exchange
// byte for byte, each wait bounded as the program bounds it.

#include "bench/link/linejob.h"
#include "bench/link/linestats.h"

#include <string>

namespace kaldor::bench {

// One exchange on its own open of the device: the time of the exchange alone in seconds,
// negative on failure (and said). With turnarounds, each byte written after a reply is timed
// from the reply's last byte read.
double runPlain(const Job& job, const std::string& device, Turnarounds* turnarounds);

} // namespace kaldor::bench
