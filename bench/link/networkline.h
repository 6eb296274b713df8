#pragma once
// bench_link --network: the long exchanges through a serial device server on loopback (ser2net
// bridging kaldor-sim's pseudo-terminal, raw and RFC 2217, and kaldor-sim --listen, raw and
// RFC 2217) against the same on the pseudo-terminal itself, all on the paced line; and how
// long each kind of port takes to open.

#include "bench/link/linejob.h"

#include <QString>
#include <QStringList>

namespace kaldor::bench {

// Prints its table; false (and said) when a meter, ser2net or an exchange fails.
bool runNetworkBench(const Job (&jobs)[3], const QString& sim, const QStringList& pacedArgs,
                     int setupRuns);

} // namespace kaldor::bench
