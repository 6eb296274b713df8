#include "link/stopsignal.h"

#include <csignal>

namespace kaldor {

namespace {

static_assert(std::atomic_bool::is_always_lock_free,
              "the signal handler may only touch a lock-free flag");
static_assert(std::atomic_int::is_always_lock_free,
              "the signal handler may only touch a lock-free number");

std::atomic_bool g_stop{false};
std::atomic_int g_signal{0};

extern "C" void onStopSignal(int number)
{
    g_signal.store(number);
    g_stop.store(true);
}

} // namespace

const std::atomic_bool& stopOnTerminationSignals()
{
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        // The second signal finds the default action again: a stop that hangs can be forced.
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
        return true;
    }();
    (void)installed;
    return g_stop;
}

int stopSignalNumber()
{
    return g_signal.load();
}

} // namespace kaldor
