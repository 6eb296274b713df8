#pragma once
// The simulated meter as a network device: a serial device server's port with the meter behind
// it, raw bytes over TCP or telnet with the serial-port option of RFC 2217. One program at a
// time; a new one is taken after the last has gone. Served with gensio's accepters.

#include "link/networkport.h"
#include "sim/meterline.h"

#include <QString>
#include <atomic>
#include <functional>

struct gensio;
struct gensio_accepter;
struct gensio_os_funcs;

namespace kaldor {

class NetMeter {
public:
    NetMeter(SimulatedMeter& meter, MeterTiming timing);
    ~NetMeter();
    NetMeter(const NetMeter&) = delete;
    NetMeter& operator=(const NetMeter&) = delete;

    // Listens on the address (port 0: a free port chosen); false with *error set when it
    // cannot.
    bool listen(const NetworkAddress& address, QString* error);
    // The address it listens on, as a program names it: "tcp://127.0.0.1:40123".
    QString address() const { return m_address.text(); }

    // Serves until stop is set (looked at every few milliseconds). `between`, when given, runs
    // on the serving thread between two reads; `report` is told each line setting a program
    // asks for over RFC 2217 ("baud 19200", "datasize 8", "parity none", "stopbits 1").
    // A CloseLine fault drops the connection and stops listening; serving then only waits.
    void serve(const std::atomic_bool& stop, const std::function<void()>& between = {},
               const std::function<void(const QString&)>& report = {});

private:
    static int onEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                       unsigned long* buflen, const char* const* auxdata);
    int serialEvent(gensio* io, int event, unsigned int* value);
    void dropClient();
    void closeListener();

    SimulatedMeter& m_meter;
    MeterLine m_line;
    NetworkAddress m_address;
    gensio_os_funcs* m_os = nullptr;
    gensio_accepter* m_accepter = nullptr;
    gensio* m_client = nullptr;
    std::function<void(const QString&)> m_report;
    // The line as the program last set it; the meter itself is always at 19200 8N1.
    unsigned int m_baud = 19200;
    unsigned int m_dataSize = 8;
    unsigned int m_parity = 1; // none
    unsigned int m_stopBits = 1;
};

} // namespace kaldor
