#include "link/link.h"

#include <QMetaObject>

#include <optional>

namespace kaldor {

const QString Link::kBusyMessage = QStringLiteral(
    "The meter is busy with another exchange. Wait until it has finished, then try again.");

// Lives on the link thread and owns the port there: the port is made, used, closed and
// destroyed on that thread only.
class LinkWorker : public QObject {
public:
    LinkWorker(Link::PortFactory factory, WaitBounds bounds, const std::atomic_bool* cancel,
               std::shared_ptr<TraceLog> traceLog)
        : m_factory(std::move(factory)), m_bounds(bounds), m_cancel(cancel),
          m_traceLog(std::move(traceLog))
    {
    }
    ~LinkWorker() override
    {
        if (m_port) m_port->close();
    }

    PortStatus open(const PortSpec& wanted)
    {
        if (m_port) m_port->close();
        m_port.reset();
        m_port = m_factory ? m_factory(wanted) : nullptr;
        if (m_port && m_traceLog)
            m_port = std::make_unique<TracingPort>(std::move(m_port), m_traceLog);
        if (!m_port)
            return {PortError::Other,
                    QStringLiteral("No serial port can be made for %1.").arg(wanted.deviceName())};
        return m_port->open();
    }
    void close()
    {
        if (m_port) m_port->close();
    }
    bool isOpen() const { return m_port && m_port->isOpen(); }
    QString portName() const { return m_port ? m_port->name() : QString(); }
    PortStatus lastError() const { return m_port ? m_port->lastError() : PortStatus{}; }

    ExchangeResult run(const std::function<ExchangeResult(ExchangeContext&)>& exchange,
                       Link::Progress progress)
    {
        if (!m_port) {
            ExchangeResult r;
            r.outcome = Outcome::LineFailed;
            r.port = {PortError::NotOpen, QStringLiteral("The serial port is not open.")};
            r.detail = r.port.text;
            return r;
        }
        ExchangeContext ctx{*m_port, m_bounds, std::move(progress), m_cancel};
        const ExchangeResult r = exchange(ctx);
        if (m_traceLog) m_traceLog->recordOutcome(r);
        return r;
    }

private:
    Link::PortFactory m_factory;
    WaitBounds m_bounds;
    const std::atomic_bool* m_cancel;
    std::shared_ptr<TraceLog> m_traceLog;
    std::unique_ptr<SerialPort> m_port;
};

namespace {
// Runs fn on the context's thread, unless the context is gone by then.
void deliverTo(const QPointer<QObject>& context, std::function<void()> fn)
{
    if (!context || !fn) return;
    if (context->thread() == QThread::currentThread())
        fn();
    else
        QMetaObject::invokeMethod(context.data(), std::move(fn), Qt::QueuedConnection);
}
} // namespace

Link::Link(PortFactory factory, WaitBounds bounds, QObject* parent) : QObject(parent)
{
    qRegisterMetaType<kaldor::PortStatus>();
    qRegisterMetaType<kaldor::ExchangeResult>();
    qRegisterMetaType<kaldor::ExchangeRecord>();
    m_worker = new LinkWorker(std::move(factory), bounds, &m_cancel, m_traceLog);
    m_worker->moveToThread(&m_thread);
    // The worker, and the port with it, is destroyed on its thread as the thread ends.
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("kaldor-link"));
    m_thread.start();
}

Link::~Link()
{
    stop();
}

void Link::stop()
{
    if (m_stopped) return;
    m_stopped = true;
    // A running exchange notices this at its next wait; the jobs still queued see it at once.
    m_cancel.store(true);
    m_thread.quit();
    m_thread.wait();
    m_worker = nullptr;
    m_portOpen = false;
    if (m_busy.exchange(false)) // what was running will never report
        emit busyChanged(false);
}

bool Link::submit(QObject* context, Job job)
{
    bool expected = false;
    if (m_stopped || !m_busy.compare_exchange_strong(expected, true)) return false;
    emit busyChanged(true);
    const QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    QMetaObject::invokeMethod(
        m_worker,
        [this, guard, hadContext, job = std::move(job)] {
            const Finish finish = job(*m_worker);
            QMetaObject::invokeMethod(
                this, [this, guard, hadContext, finish] { complete(guard, hadContext, finish); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}

void Link::complete(const QPointer<QObject>& context, bool hadContext, const Finish& finish)
{
    const bool wasOpen = m_portOpen;
    m_portOpen = finish.portOpen;
    if (finish.portChanged) {
        m_portSpec = finish.portSpec;
        m_portStatus = finish.status;
        m_portTried = true;
        if (!finish.portName.isEmpty()) m_portName = finish.portName;
    } else if (wasOpen && !finish.portOpen) {
        m_portStatus = finish.status; // the line was lost during the exchange
    }
    m_busy.store(false);
    if (wasOpen && !m_portOpen) emit portClosed();
    if (finish.portChanged || wasOpen != m_portOpen) emit lineChanged();
    if (finish.record) {
        const ExchangeRecord& r = finish.record.value();
        // A write that was not read back leaves what the meter holds unknown (one that stopped
        // for want of a backup wrote nothing).
        const bool writes = r.kind == ExchangeKind::Write || r.kind == ExchangeKind::SendTank ||
                            r.kind == ExchangeKind::Clear;
        if (r.image)
            m_lastImage = r.image;
        else if (writes && r.notWritten.isEmpty())
            m_lastImage.reset();
    }
    if (!m_stopped && finish.record) emit exchangeFinished(*finish.record);
    if (!m_stopped && hadContext) deliverTo(context, finish.deliver);
    emit busyChanged(false);
}

Link::Progress Link::progressFor(QObject* context, Progress progress)
{
    if (!progress || !context) return {};
    const QPointer<QObject> guard(context);
    return [this, guard, progress](int percent) {
        QMetaObject::invokeMethod(
            this,
            [this, guard, progress, percent] {
                if (!m_stopped) deliverTo(guard, [progress, percent] { progress(percent); });
            },
            Qt::QueuedConnection);
    };
}

bool Link::openPort(QObject* context, const PortSpec& portSpec, Opened done)
{
    return submit(context, [portSpec, done](LinkWorker& worker) {
        const PortStatus status = worker.open(portSpec);
        Finish f;
        f.portOpen = worker.isOpen();
        f.status = status;
        f.portChanged = true;
        f.portSpec = portSpec;
        f.portName = worker.portName().isEmpty() ? portSpec.deviceName() : worker.portName();
        if (done) f.deliver = [done, status] { done(status); };
        return f;
    });
}

bool Link::closePort(QObject* context, std::function<void()> done)
{
    const PortSpec closing = m_portSpec;
    return submit(context, [closing, done](LinkWorker& worker) {
        worker.close();
        Finish f;
        f.portChanged = true;
        f.portSpec = closing;
        f.deliver = done;
        return f;
    });
}

LineState Link::lineState() const
{
    return LineState{m_portName.isEmpty() ? m_portSpec.deviceName() : m_portName, m_portOpen,
                     m_portTried, m_portStatus};
}

bool Link::run(QObject* context, std::function<ExchangeResult(ExchangeContext&)> exchange,
               Done done, Progress progress)
{
    return runAs(ExchangeKind::Other, context, std::move(exchange), std::move(done),
                 std::move(progress));
}

bool Link::runAs(ExchangeKind kind, QObject* context,
                 std::function<ExchangeResult(ExchangeContext&)> exchange, Done done,
                 Progress progress, std::function<void(ExchangeRecord&)> record)
{
    const Progress sendProgress = progressFor(context, std::move(progress));
    return submit(context, [kind, exchange = std::move(exchange), done, sendProgress,
                            record = std::move(record)](LinkWorker& worker) {
        const ExchangeResult r = worker.run(exchange, sendProgress);
        Finish f;
        f.portOpen = worker.isOpen();
        f.status = worker.lastError();
        f.record = ExchangeRecord{kind, r, -1, {}, QTime::currentTime(), {}};
        if (record) record(*f.record);
        if (done) f.deliver = [done, r] { done(r); };
        return f;
    });
}

bool Link::runSafeWrite(QObject* context, std::function<SafeWrite(ExchangeContext&)> useCase,
                        SafeDone done, Progress progress, ExchangeKind kind)
{
    auto outcome = std::make_shared<std::optional<SafeWrite>>();
    return runAs(
        kind, context,
        [useCase = std::move(useCase), outcome](ExchangeContext& ctx) {
            *outcome = useCase(ctx);
            return (*outcome)->write;
        },
        done ? Done([done, outcome](const ExchangeResult& r) {
            if (*outcome) {
                done(**outcome);
                return;
            }
            // The port was not open: the use case never ran and nothing was written.
            SafeWrite s;
            s.outcome = SafeWriteOutcome::WriteFailed;
            s.write = r;
            s.messages.append(refusal(lineFailureText(r)));
            done(s);
        })
             : Done(),
        std::move(progress),
        [outcome](ExchangeRecord& record) {
            if (!*outcome) return;
            if ((*outcome)->outcome == SafeWriteOutcome::BackupFailed)
                record.notWritten =
                    QStringLiteral("no backup could be made (%1)").arg((*outcome)->backup.why);
            else if ((*outcome)->outcome == SafeWriteOutcome::NotWritten)
                record.notWritten = (*outcome)->changes.dropped.isEmpty()
                                        ? QStringLiteral("the meter's image could not be rebuilt")
                                        : QStringLiteral("it would have removed ") +
                                              tankNumbersText((*outcome)->changes.dropped);
            record.image = (*outcome)->readBack;
        });
}

bool Link::download(QObject* context, const QString& file, ImageDone done, Progress progress)
{
    return readImage(
        ExchangeKind::Read, context,
        [file](ExchangeContext& ctx) { return downloadIndicatorFile(ctx, file); }, std::move(done),
        std::move(progress));
}

bool Link::read(QObject* context, ImageDone done, Progress progress)
{
    return readImage(ExchangeKind::Look, context, downloadImage, std::move(done),
                     std::move(progress));
}

bool Link::readImage(ExchangeKind kind, QObject* context,
                     std::function<Download(ExchangeContext&)> reading, ImageDone done,
                     Progress progress)
{
    auto image = std::make_shared<IndicatorImage>();
    return runAs(
        kind, context,
        [reading = std::move(reading), image](ExchangeContext& ctx) {
            Download d = reading(ctx);
            if (d.result.done()) *image = d.image;
            return d.result;
        },
        done ? Done([done, image](const ExchangeResult& r) { done(r, *image); }) : Done(),
        std::move(progress),
        [image](ExchangeRecord& record) {
            if (!record.result.done()) return;
            record.tankCount = image->at(layout::kTankCountAddress);
            record.image = image;
        });
}

bool Link::upload(QObject* context, const UploadSource& source, UploadVariant variant,
                  ImageDone done, Progress progress)
{
    return runAs(
        ExchangeKind::Write, context,
        [source, variant](ExchangeContext& ctx) { return uploadImage(ctx, source, variant); },
        done ? Done([done, source](const ExchangeResult& r) {
            done(r, r.done() ? source.image : IndicatorImage());
        })
             : Done(),
        std::move(progress));
}

bool Link::sendTank(QObject* context, const TankSend& send, const QString& workingFile, Done done)
{
    return runAs(
        ExchangeKind::SendTank, context,
        [send, workingFile](ExchangeContext& ctx) { return sendTankCurve(ctx, send, workingFile); },
        std::move(done), {});
}

bool Link::clear(QObject* context, Done done)
{
    return runAs(ExchangeKind::Clear, context,
                 [](ExchangeContext& ctx) { return sendClearCommand(ctx); }, std::move(done), {});
}

bool Link::pressKey(QObject* context, KeypadKey key, bool discardFirst, Done done)
{
    return runAs(ExchangeKind::Key, context,
                 [key, discardFirst](ExchangeContext& ctx) {
                     return sendKeypadCommand(ctx, key, discardFirst);
                 },
                 std::move(done), {});
}

} // namespace kaldor
