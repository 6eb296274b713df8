#pragma once
// The link thread: an object living on it owns the serial port and runs one exchange at a
// time, so the windows never block on the line and two exchanges never interleave on the
// wire. Every request returns at once; one made while an exchange runs is refused (the call
// returns false and the window shows kBusyMessage).
//
// A request names the object that asked (its context) and a completion. The completion runs
// on the context's thread with the result and what the exchange brought back; when the
// context is gone by then, it is dropped. A null context asks for no completion.

#include "link/exchanges.h"
#include "link/linestatus.h"
#include "link/safewrite.h"
#include "link/serialport.h"
#include "link/tracelog.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace kaldor {

class LinkWorker;

class Link : public QObject {
    Q_OBJECT
public:
    using PortFactory = std::function<std::unique_ptr<SerialPort>(const PortSpec&)>;
    using Done = std::function<void(const ExchangeResult& result)>;
    // The image read, or the image the meter now holds; empty unless the exchange was done.
    using ImageDone =
        std::function<void(const ExchangeResult& result, const IndicatorImage& image)>;
    using Opened = std::function<void(const PortStatus& status)>;
    using Progress = std::function<void(int percent)>;
    using SafeDone = std::function<void(const SafeWrite& result)>;
    static const QString kBusyMessage;

    // The factory makes the port on the link thread (QSerialPort must live where it is used).
    explicit Link(PortFactory factory, WaitBounds bounds = {}, QObject* parent = nullptr);
    // stop().
    ~Link() override;

    bool isBusy() const { return m_busy.load(); }
    bool isPortOpen() const { return m_portOpen; }
    PortSpec portSpec() const { return m_portSpec; }
    PortStatus portStatus() const { return m_portStatus; }
    // The port as the link last left it, named as the port names itself.
    LineState lineState() const;
    // What the windows' writes do around the write (backup, verify); read and set on the thread
    // the link was made on.
    const WriteSafety& writeSafety() const { return m_writeSafety; }
    void setWriteSafety(const WriteSafety& safety) { m_writeSafety = safety; }
    // The image the meter was last seen to hold in this run: the last read of it, or a write's
    // read-back. Null before any read, and after a write that was not read back, since what
    // the meter holds then is not known. Costs no exchange; read on the link's own thread.
    std::shared_ptr<const IndicatorImage> lastImage() const { return m_lastImage; }
    // The traffic of every port the link opens, written by the link thread.
    std::shared_ptr<TraceLog> traceLog() const { return m_traceLog; }

    // Closes the port if open, then opens the one given.
    bool openPort(QObject* context, const PortSpec& portSpec, Opened done);
    bool closePort(QObject* context = nullptr, std::function<void()> done = {});
    // Reads the image into `file` (the working file: removed after a failed read).
    bool download(QObject* context, const QString& file, ImageDone done, Progress progress = {});
    // Reads the image and keeps it in no file: a look at the meter that changes nothing here.
    bool read(QObject* context, ImageDone done, Progress progress = {});
    bool upload(QObject* context, const UploadSource& source, UploadVariant variant, ImageDone done,
                Progress progress = {});
    bool sendTank(QObject* context, const TankSend& send, const QString& workingFile, Done done);
    bool clear(QObject* context, Done done);
    bool pressKey(QObject* context, KeypadKey key, bool discardFirst, Done done);

    // Any exchange on the link thread; `done` gets its result.
    bool run(QObject* context, std::function<ExchangeResult(ExchangeContext&)> exchange, Done done,
             Progress progress = {});

    // A write with its backup and read-back verify (safeUpload, safeSendTank, safeClear), run
    // as one exchange: nothing else reaches the line between the backup and the verify.
    bool runSafeWrite(QObject* context, std::function<SafeWrite(ExchangeContext&)> useCase,
                      SafeDone done, Progress progress = {},
                      ExchangeKind kind = ExchangeKind::Write);

    // Calls off a running exchange at its next wait, closes and destroys the port on the link
    // thread and waits for the thread to end. No completion runs after it; every later
    // request is refused. Safe to call more than once.
    void stop();
    bool isStopped() const { return m_stopped; }

signals:
    void busyChanged(bool busy);
    // The port was closed: by closePort() or because the line was lost during an exchange.
    void portClosed();
    // An open or a close has answered, or an exchange changed whether the port is open.
    void lineChanged();
    // Every exchange as it ends, before its requester hears of it.
    void exchangeFinished(const kaldor::ExchangeRecord& record);

private:
    friend class LinkWorker;
    // What a job on the link thread hands back to the link's own thread.
    struct Finish {
        bool portOpen = false;
        PortStatus status;
        bool portChanged = false; // an open or a close: the port named and its status follow it
        PortSpec portSpec;
        QString portName;                     // as the port names itself; empty: not made
        std::optional<ExchangeRecord> record; // an exchange, not an open or a close
        std::function<void()> deliver;        // runs the requester's completion with its payload
    };
    using Job = std::function<Finish(LinkWorker& worker)>;

    bool submit(QObject* context, Job job);
    // run() with the kind the finished exchange is recorded as; record fills in what only the
    // result knows (the tanks read, a backup that failed).
    bool runAs(ExchangeKind kind, QObject* context,
               std::function<ExchangeResult(ExchangeContext&)> exchange, Done done,
               Progress progress, std::function<void(ExchangeRecord&)> record = {});
    // A read of the image, with or without its file; `done` gets the image when it was read.
    bool readImage(ExchangeKind kind, QObject* context,
                   std::function<Download(ExchangeContext&)> reading, ImageDone done,
                   Progress progress);
    void complete(const QPointer<QObject>& context, bool hadContext, const Finish& finish);
    Progress progressFor(QObject* context, Progress progress);

    QThread m_thread;
    LinkWorker* m_worker = nullptr; // lives on m_thread, destroyed there
    std::atomic_bool m_busy{false};
    std::atomic_bool m_cancel{false};
    bool m_stopped = false;
    bool m_portOpen = false;
    PortSpec m_portSpec;
    PortStatus m_portStatus;
    QString m_portName;
    bool m_portTried = false;
    std::shared_ptr<TraceLog> m_traceLog = std::make_shared<TraceLog>();
    WriteSafety m_writeSafety;
    std::shared_ptr<const IndicatorImage> m_lastImage;
};

} // namespace kaldor

Q_DECLARE_METATYPE(kaldor::PortStatus)
Q_DECLARE_METATYPE(kaldor::ExchangeResult)
