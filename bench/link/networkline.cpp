#include "bench/link/networkline.h"

#include "bench/link/meterprocess.h"
#include "bench/link/programline.h"
#include "bench/link/ser2netprocess.h"
#include "bench/support/stats.h"
#include "link/serialport.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace kaldor::bench {

namespace {

constexpr int kPacedSendRuns = 3;

// One way to the meter: what the program opens, and what serves it.
struct Route {
    const char* name;
    std::function<QString()> address; // once the servers are up
};

// The median time of `runs` opens of the port, each closed again; negative when one fails.
double setupTime(const QString& address, int runs)
{
    std::vector<double> took;
    for (int r = 0; r < runs; ++r) {
        const std::optional<PortSpec> portSpec = PortSpec::parse(address);
        if (!portSpec) return -1;
        const std::unique_ptr<SerialPort> port = makeSerialPort(*portSpec);
        const Clock::time_point t0 = Clock::now();
        const PortStatus opened = port->open();
        const Clock::time_point t1 = Clock::now();
        if (!opened.ok()) {
            std::fprintf(stderr, "bench_link: %s\n", qPrintable(opened.text));
            return -1;
        }
        port->close();
        took.push_back(seconds(t1 - t0));
    }
    return median(took);
}

} // namespace

bool runNetworkBench(const Job (&jobs)[3], const QString& sim, const QStringList& pacedArgs,
                     int setupRuns)
{
    // Every route has a meter of its own, all paced alike: the pseudo-terminal's, one behind
    // each of ser2net's ports, and each kaldor-sim --listen.
    MeterProcess ptyMeter;
    if (!ptyMeter.start(sim, pacedArgs)) return false;
    MeterProcess behindSer2net[4];
    QStringList devices;
    for (MeterProcess& meter : behindSer2net) {
        if (!meter.start(sim, pacedArgs)) return false;
        devices << meter.device();
    }
    Ser2netProcess ser2net;
    if (!ser2net.start(devices)) return false;
    MeterProcess rawMeter;
    if (!rawMeter.start(sim, pacedArgs + QStringList{"--listen", "tcp://127.0.0.1:0"}))
        return false;
    MeterProcess rfcMeter;
    if (!rfcMeter.start(sim, pacedArgs + QStringList{"--listen", "rfc2217://127.0.0.1:0"}))
        return false;
    const std::vector<Route> routes = {
        {"pseudo-terminal", [&] { return ptyMeter.device(); }},
        {"ser2net raw, as it comes", [&] { return ser2net.address(false, false); }},
        {"ser2net raw, set for the meter", [&] { return ser2net.address(false, true); }},
        {"ser2net RFC 2217, as it comes", [&] { return ser2net.address(true, false); }},
        {"ser2net RFC 2217, set", [&] { return ser2net.address(true, true); }},
        {"kaldor-sim --listen raw", [&] { return rawMeter.device(); }},
        {"kaldor-sim --listen RFC 2217", [&] { return rfcMeter.device(); }},
    };

    std::printf("(e) Through a serial device server on loopback, paced line (%s): the program's "
                "exchange\n"
                "    time by each route, one run each (%d for the send, the median), and its ratio "
                "to the same on\n"
                "    the pseudo-terminal (goal <= 1.05x); ser2net as it comes, and set for the "
                "meter (nodelay on\n"
                "    its accepter, chardelay: false). Set-up: open() of the port to its return, "
                "median of %d opens.\n",
                qPrintable(pacedArgs.mid(2).join(u' ')), kPacedSendRuns, setupRuns);
    // Each exchange by every route before the next exchange: the send adds a tank to the
    // meter, which the reads and writes of the full image must not find.
    std::vector<std::vector<double>> times(routes.size(), std::vector<double>(std::size(jobs)));
    for (std::size_t k = 0; k < std::size(jobs); ++k) {
        const Job& job = jobs[k];
        const int runs = job.kind == Kind::Send ? kPacedSendRuns : 1;
        for (std::size_t i = 0; i < routes.size(); ++i) {
            std::vector<double> took;
            for (int r = 0; r < runs; ++r) {
                const double t = runProgram(job, routes[i].address(), nullptr);
                if (t < 0) {
                    std::fprintf(stderr, "bench_link: %s through %s failed\n", kindName(job.kind),
                                 routes[i].name);
                    return false;
                }
                took.push_back(t);
            }
            times[i][k] = median(took);
        }
    }
    std::printf("  %-31s %9s %7s %9s %7s %9s %7s %9s\n", "route", "read s", "ratio", "write s",
                "ratio", "send s", "ratio", "set-up ms");
    for (std::size_t i = 0; i < routes.size(); ++i) {
        std::printf("  %-31s", routes[i].name);
        for (std::size_t k = 0; k < std::size(jobs); ++k)
            std::printf(" %9.3f %6.3fx", times[i][k], times[i][k] / times[0][k]);
        const double setup = setupTime(routes[i].address(), setupRuns);
        if (setup < 0) return false;
        std::printf(" %9.2f\n", 1000 * setup);
    }
    std::printf("\n");
    return true;
}

} // namespace kaldor::bench
