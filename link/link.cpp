#include "link/link.h"

#include <QMetaObject>

namespace kaldor {

const QString Link::kBusyMessage = QStringLiteral(
    "The meter is busy with another exchange. Wait until it has finished, then try again.");

namespace {
ExchangeResult notOpen(int stage = 0)
{
    ExchangeResult r;
    r.outcome = Outcome::LineFailed;
    r.stage = stage;
    r.port = {PortError::NotOpen, QStringLiteral("The serial port is not open.")};
    r.detail = r.port.text;
    return r;
}
} // namespace

Link::Link(PortFactory factory, WaitBounds bounds, QObject* parent)
    : QObject(parent), m_factory(std::move(factory)), m_bounds(bounds)
{
    qRegisterMetaType<kaldor::PortStatus>();
    qRegisterMetaType<kaldor::ExchangeResult>();
    qRegisterMetaType<kaldor::ExchangeKind>();
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("kaldor-link"));
    m_thread.start();
}

Link::~Link()
{
    // A running exchange notices this at its next wait; the port is released on its own thread.
    m_cancel.store(true);
    QMetaObject::invokeMethod(m_worker, [this] { m_port.reset(); }, Qt::QueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

bool Link::begin()
{
    bool expected = false;
    if (!m_busy.compare_exchange_strong(expected, true))
        return false;
    emit busyChanged(true);
    return true;
}

void Link::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_worker, std::move(job), Qt::QueuedConnection);
}

bool Link::openPort(const PortSpec& portSpec)
{
    if (!begin())
        return false;
    post([this, portSpec] {
        if (m_port)
            m_port->close();
        m_port = m_factory ? m_factory(portSpec) : nullptr;
        const PortStatus status =
            m_port ? m_port->open()
                   : PortStatus{PortError::Other, QStringLiteral("No serial port can be made for %1.").arg(portSpec.deviceName())};
        ExchangeResult r;
        if (!status.ok()) {
            r.outcome = Outcome::LineFailed;
            r.port = status;
            r.detail = status.text;
        }
        const bool open = m_port && m_port->isOpen();
        QMetaObject::invokeMethod(
            this,
            [this, portSpec, status, r, open] {
                m_portSpec = portSpec;
                m_portOpen = open;
                m_portStatus = status;
                m_busy.store(false);
                emit portOpened(status);
                emit finished(ExchangeKind::OpenPort, r);
                emit busyChanged(false);
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool Link::closePort()
{
    if (!begin())
        return false;
    post([this] {
        if (m_port)
            m_port->close();
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_portOpen = false;
                m_busy.store(false);
                emit portClosed();
                emit finished(ExchangeKind::ClosePort, ExchangeResult{});
                emit busyChanged(false);
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool Link::run(ExchangeKind kind, std::function<ExchangeResult(ExchangeContext&)> exchange)
{
    if (!begin())
        return false;
    post([this, kind, exchange = std::move(exchange)] {
        ExchangeResult r;
        bool open = false;
        if (!m_port) {
            r = notOpen();
        } else {
            ExchangeContext ctx{*m_port, m_bounds,
                                [this](int percent) {
                                    QMetaObject::invokeMethod(
                                        this, [this, percent] { emit progress(percent); },
                                        Qt::QueuedConnection);
                                },
                                &m_cancel};
            r = exchange(ctx);
            open = m_port->isOpen();
        }
        const PortStatus status = m_port ? m_port->lastError() : PortStatus{};
        QMetaObject::invokeMethod(
            this,
            [this, kind, r, open, status] {
                const bool lost = m_portOpen && !open;
                m_portOpen = open;
                if (lost) {
                    m_portStatus = status;
                    emit portClosed();
                }
                m_busy.store(false);
                emit finished(kind, r);
                emit busyChanged(false);
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool Link::download(const QString& workingFile)
{
    return run(ExchangeKind::Download,
               [workingFile](ExchangeContext& ctx) { return downloadIndicatorFile(ctx, workingFile).result; });
}

bool Link::upload(const UploadSource& source, UploadVariant variant)
{
    return run(ExchangeKind::Upload,
               [source, variant](ExchangeContext& ctx) { return uploadImage(ctx, source, variant); });
}

bool Link::sendTank(const TankSend& send, const QString& workingFile)
{
    return run(ExchangeKind::SendTank,
               [send, workingFile](ExchangeContext& ctx) { return sendTankCurve(ctx, send, workingFile); });
}

bool Link::clear()
{
    return run(ExchangeKind::Clear, [](ExchangeContext& ctx) { return sendClearCommand(ctx); });
}

bool Link::pressKey(KeypadKey key, bool discardFirst)
{
    return run(ExchangeKind::Keypad,
               [key, discardFirst](ExchangeContext& ctx) { return sendKeypadCommand(ctx, key, discardFirst); });
}

} // namespace kaldor
