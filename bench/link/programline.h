#pragma once
// The program's side of bench_link: the exchange through the program's own port (QtSerialPort,
// or the network port for a device server's address) and exchange code, optionally under a
// decorator that times each byte, or with the line's traffic log on as the windows have it.

#include "bench/link/linejob.h"
#include "bench/link/linestats.h"
#include "link/tracelog.h"

#include <QString>

namespace kaldor::bench {

// One exchange through the program, on its own open of the port; the time of the exchange
// alone in seconds, negative on failure. With turnarounds, the last reply byte in hand to the
// next byte out is timed. With a traffic log, the port is wrapped as the link wraps it and the
// outcome recorded.
double runProgram(const Job& job, const QString& device, Turnarounds* turnarounds,
                  TraceLog* trace = nullptr);

} // namespace kaldor::bench
