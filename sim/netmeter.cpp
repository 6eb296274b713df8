#include "sim/netmeter.h"

#include <gensio/gensio.h>
#include <gensio/sergensio.h>

#include <thread>

namespace kaldor {

namespace {
// How often a wait for a program or for its bytes looks at the stop flag.
constexpr int kPollMs = 5;
constexpr int kReadChunk = 256;
// A program that stops taking the meter's bytes for this long has gone.
constexpr int kWriteWaitMs = 2000;

gensio_time msecs(int ms)
{
    return gensio_time{ms / 1000, (ms % 1000) * 1'000'000};
}

QString gensioError(int rv)
{
    return QString::fromLocal8Bit(gensio_err_to_str(rv));
}

const char* parityName(unsigned int parity)
{
    switch (parity) {
    case SERGENSIO_PARITY_NONE:
        return "none";
    case SERGENSIO_PARITY_ODD:
        return "odd";
    case SERGENSIO_PARITY_EVEN:
        return "even";
    case SERGENSIO_PARITY_MARK:
        return "mark";
    case SERGENSIO_PARITY_SPACE:
        return "space";
    default:
        return "unknown";
    }
}

const char* stopBitsName(unsigned int stopBits)
{
    // RFC 2217 numbers 1.5 stop bits 3.
    return stopBits == 1 ? "1" : stopBits == 2 ? "2" : stopBits == 3 ? "1.5" : "unknown";
}
} // namespace

NetMeter::NetMeter(SimulatedMeter& meter, MeterTiming timing)
    : m_meter(meter), m_line(meter, timing)
{
}

NetMeter::~NetMeter()
{
    dropClient();
    closeListener();
    // The default os funcs are one per process, made once and kept (gensio hands the same
    // ones to every caller), so they are not freed here.
}

bool NetMeter::listen(const NetworkAddress& address, QString* error)
{
    const auto fail = [&](const QString& what, int rv) {
        if (error) *error = QStringLiteral("%1: %2").arg(what, gensioError(rv));
        closeListener();
        return false;
    };
    m_address = address;
    // A single thread makes every gensio call here, so no wake-up signal is needed.
    int rv = gensio_default_os_hnd(0, &m_os);
    if (rv) return fail(QStringLiteral("gensio"), rv);
    const QString gensioString = address.gensioString();
    rv = str_to_gensio_accepter(gensioString.toUtf8().constData(), m_os, nullptr, nullptr,
                                &m_accepter);
    if (rv) return fail(gensioString, rv);
    rv = gensio_acc_set_sync(m_accepter);
    if (rv) return fail(gensioString, rv);
    rv = gensio_acc_startup(m_accepter);
    if (rv) return fail(address.text(), rv);
    char chosen[32] = "0";
    gensiods length = sizeof chosen;
    rv = gensio_acc_control(m_accepter, GENSIO_CONTROL_DEPTH_FIRST, GENSIO_CONTROL_GET,
                            GENSIO_ACC_CONTROL_LPORT, chosen, &length);
    if (rv) return fail(QStringLiteral("the port listened on"), rv);
    m_address.port = QByteArray(chosen, int(length)).toInt();
    return true;
}

void NetMeter::closeListener()
{
    if (!m_accepter) return;
    gensio_acc_shutdown_s(m_accepter);
    gensio_acc_free(m_accepter);
    m_accepter = nullptr;
}

void NetMeter::dropClient()
{
    if (!m_client) return;
    gensio_close_s(m_client);
    gensio_free(m_client);
    m_client = nullptr;
}

int NetMeter::onEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                      gensiods* buflen, const char* const* auxdata)
{
    (void)err;
    (void)auxdata;
    if (event < SERGENSIO_EVENT_BASE || event > SERGENSIO_EVENT_MAX || !buf || !buflen ||
        *buflen < sizeof(int))
        return GE_NOTSUP;
    return static_cast<NetMeter*>(self)->serialEvent(io, event,
                                                     reinterpret_cast<unsigned int*>(buf));
}

// The program sets the far line over RFC 2217: each setting is answered with the value now in
// force, as a device server does, and told to `report`. A value of 0 only asks for the setting.
int NetMeter::serialEvent(gensio* io, int event, unsigned int* value)
{
    sergensio* sio = gensio_to_sergensio(io);
    if (!sio) return GE_NOTSUP;
    const auto take = [&](unsigned int& setting, const char* name, const QString& shown) {
        if (*value != 0) {
            setting = *value;
            if (m_report) m_report(QStringLiteral("%1 %2").arg(QLatin1String(name), shown));
        }
        return setting;
    };
    switch (event) {
    case GENSIO_EVENT_SER_BAUD:
        sergensio_baud(sio, take(m_baud, "baud", QString::number(*value)), nullptr, nullptr);
        return 0;
    case GENSIO_EVENT_SER_DATASIZE:
        sergensio_datasize(sio, take(m_dataSize, "datasize", QString::number(*value)), nullptr,
                           nullptr);
        return 0;
    case GENSIO_EVENT_SER_PARITY:
        sergensio_parity(sio, take(m_parity, "parity", QLatin1String(parityName(*value))), nullptr,
                         nullptr);
        return 0;
    case GENSIO_EVENT_SER_STOPBITS:
        sergensio_stopbits(sio, take(m_stopBits, "stopbits", QLatin1String(stopBitsName(*value))),
                           nullptr, nullptr);
        return 0;
    case GENSIO_EVENT_SER_FLOWCONTROL:
        // The meter's line has no flow control.
        sergensio_flowcontrol(sio, SERGENSIO_FLOWCONTROL_NONE, nullptr, nullptr);
        return 0;
    case GENSIO_EVENT_SER_DTR:
        sergensio_dtr(sio, *value ? *value : SERGENSIO_DTR_ON, nullptr, nullptr);
        return 0;
    case GENSIO_EVENT_SER_RTS:
        sergensio_rts(sio, *value ? *value : SERGENSIO_RTS_ON, nullptr, nullptr);
        return 0;
    default:
        return GE_NOTSUP;
    }
}

void NetMeter::serve(const std::atomic_bool& stop, const std::function<void()>& between,
                     const std::function<void(const QString&)>& report)
{
    m_report = report;
    char buffer[kReadChunk];
    while (!stop.load()) {
        if (between) between();
        if (!m_accepter) {
            // The meter's line has closed: nothing more is taken.
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            continue;
        }
        if (!m_client) {
            gensio_time wait = msecs(kPollMs);
            gensio* io = nullptr;
            if (gensio_acc_accept_s(m_accepter, &wait, &io) != 0 || !io) continue;
            // Set before reading starts, so that no line setting finds the meter deaf.
            gensio_set_callback(io, &NetMeter::onEvent, this);
            if (gensio_set_sync(io) != 0) {
                gensio_close_s(io);
                gensio_free(io);
                continue;
            }
            m_client = io;
        }
        gensio_time wait = msecs(kPollMs);
        gensiods count = 0;
        const int rv = gensio_read_s(m_client, &count, buffer, sizeof buffer, &wait);
        const auto arrived = MeterLine::Clock::now();
        if (rv == GE_TIMEDOUT) continue;
        if (rv != 0) {
            // The program has gone: the next one may come.
            dropClient();
            continue;
        }
        bool gone = false;
        const auto write = [&](char c) {
            gensio_time limit = msecs(kWriteWaitMs);
            gensiods written = 0;
            gone = gensio_write_s(m_client, &written, &c, 1, &limit) != 0 || written != 1;
            return !gone;
        };
        for (gensiods i = 0; i < count && !gone; ++i) {
            m_line.answer(std::uint8_t(buffer[i]), arrived, write);
            if (m_meter.lineClosed()) {
                dropClient();
                closeListener();
                break;
            }
        }
        if (gone) dropClient();
    }
    m_report = {};
}

} // namespace kaldor
