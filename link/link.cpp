#include "link/link.h"

#include <QMetaObject>

namespace kaldor {

const QString Link::kBusyMessage =
    QStringLiteral("The meter is busy with another exchange. Wait until it has ended, then try again.");

Link::Link(PortFactory factory, WaitBounds bounds, QObject* parent)
    : QObject(parent), m_factory(std::move(factory)), m_bounds(bounds)
{
    qRegisterMetaType<kaldor::PortStatus>();
    qRegisterMetaType<kaldor::ExchangeResult>();
    qRegisterMetaType<kaldor::ExchangeKind>();
    m_thread.setObjectName(QStringLiteral("kaldor-link"));
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

Link::~Link()
{
    m_cancel = true;
    // The port is closed and released on the thread that used it.
    QMetaObject::invokeMethod(m_worker, [this] { m_port.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
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

bool Link::run(ExchangeKind kind, std::function<ExchangeResult(ExchangeContext&)> exchange)
{
    if (!begin())
        return false;
    post([this, kind, exchange = std::move(exchange)] {
        ExchangeResult result;
        if (!m_port) {
            result.outcome = Outcome::LineFailed;
            result.port = {PortError::NotOpen, QStringLiteral("No serial port is chosen.")};
            result.detail = result.port.text;
        } else {
            ExchangeContext ctx{*m_port, m_bounds, {}, &m_cancel};
            ctx.progress = [this](int percent) {
                QMetaObject::invokeMethod(this, [this, percent] { emit progress(percent); }, Qt::QueuedConnection);
            };
            result = exchange(ctx);
        }
        const bool open = m_port && m_port->isOpen();
        QMetaObject::invokeMethod(
            this,
            [this, kind, result, open] {
                const bool wasOpen = m_portOpen;
                m_portOpen = open;
                m_busy = false;
                emit busyChanged(false);
                if (wasOpen && !open)
                    emit portClosed();
                emit finished(kind, result);
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool Link::openPort(const PortSpec& spec)
{
    if (!begin())
        return false;
    post([this, spec] {
        if (m_port)
            m_port->close();
        m_port = m_factory(spec);
        const PortStatus status = m_port ? m_port->open()
                                         : PortStatus{PortError::Unavailable, QStringLiteral("No such port.")};
        const bool open = m_port && m_port->isOpen();
        QMetaObject::invokeMethod(
            this,
            [this, spec, status, open] {
                m_spec = spec;
                m_portStatus = status;
                m_portOpen = open;
                m_busy = false;
                emit busyChanged(false);
                emit portOpened(status);
                ExchangeResult r;
                if (!status.ok()) {
                    r.outcome = Outcome::LineFailed;
                    r.port = status;
                    r.detail = status.text;
                }
                emit finished(ExchangeKind::OpenPort, r);
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
                m_busy = false;
                emit busyChanged(false);
                emit portClosed();
                emit finished(ExchangeKind::ClosePort, ExchangeResult{});
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
