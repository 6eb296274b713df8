#include "ui/sendimage.h"

#include "link/link.h"
#include "ui/dialogs.h"
#include "ui/showmessages.h"

#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <chrono>
#include <future>
#include <memory>

namespace kaldor {

namespace {

const QString kBarFormat = QStringLiteral("%p%");

QString stepText(SafeWriteStep step)
{
    switch (step) {
    case SafeWriteStep::Backup:
        return QStringLiteral("Reading the meter for a backup…");
    case SafeWriteStep::Read:
        return QStringLiteral("Reading the meter…");
    case SafeWriteStep::Write:
        return QStringLiteral("Sending…");
    case SafeWriteStep::Verify:
        return QStringLiteral("Verifying…");
    }
    return {};
}

// One write asked for by a window, kept until it has finished (a retry without a backup
// included). Touched on the window's thread only.
struct WriteRun {
    Link& link;
    Dialogs& dialogs;
    QPointer<QWidget> window;
    SafeUseCase useCase;
    SafeWriteOptions options;
    QPointer<QProgressBar> bar;
    QPointer<QLineEdit> status;
    SafeFinished finished;
    SafeAnswered answered;
    ExchangeKind kind;
};

void showStep(const WriteRun& run, SafeWriteStep step)
{
    if (run.bar) run.bar->setFormat(stepText(step) + QStringLiteral("  ") + kBarFormat);
    if (run.status) run.status->setText(stepText(step));
}

// The window's callbacks belong to it: none runs once it has been destroyed (a box shown
// before may have outlived it).
void finish(const WriteRun& run, const SafeWrite& s, bool show)
{
    if (!run.window) return;
    const bool shows = !run.finished || run.finished(s);
    if (show && shows && run.window) {
        // One box: the exchange's own message, then the backup and the verify.
        QStringList texts;
        for (const Message& m : s.messages)
            texts.append(m.text);
        if (!texts.isEmpty()) run.dialogs.message(run.window, texts.join(QStringLiteral("\n\n")));
    }
    if (run.answered && run.window) run.answered();
}

bool start(const std::shared_ptr<WriteRun>& run);

void ended(const std::shared_ptr<WriteRun>& run, const SafeWrite& s)
{
    if (run->bar) {
        run->bar->setVisible(false);
        run->bar->setFormat(kBarFormat);
    }
    if (run->status) {
        run->status->clear();
        run->status->setVisible(false);
    }
    // The user said No to the tanks the image would remove: nothing more to tell.
    if (s.outcome == SafeWriteOutcome::NotWritten && !s.changes.dropped.isEmpty()) {
        finish(*run, s, false);
        return;
    }
    const bool backupAsked = !run->options.backupFolder.isEmpty();
    // A window closed meanwhile (kept only until its write has answered) asks nothing.
    if (s.outcome != SafeWriteOutcome::BackupFailed || !backupAsked || !run->window ||
        !run->window->isVisible()) {
        finish(*run, s, true);
        return;
    }
    Question q;
    q.text =
        QStringLiteral("No backup of the meter could be made: %1. Nothing has been written.\n\n"
                       "Write to the meter without a backup?")
            .arg(s.backup.why);
    q.icon = QuestionIcon::Exclamation;
    q.defaultAnswer = Answer::No;
    const Answer answer = run->dialogs.question(run->window, q);
    if (!run->window) return; // gone while it asked: nothing more is written
    if (answer != Answer::Yes) {
        finish(*run, s, false);
        return;
    }
    run->options.backupFolder.clear();
    // Once the link has finished reporting this exchange.
    QTimer::singleShot(0, run->window, [run, s] {
        if (start(run)) return;
        run->dialogs.message(run->window, Link::kBusyMessage);
        finish(*run, s, false);
    });
}

// Asked on the window's thread when the image would remove tanks the meter holds; a window that
// is gone or hidden answers No.
bool letTanksGo(const WriteRun& run, const ImageChanges& changes)
{
    if (!run.window || !run.window->isVisible()) return false;
    Question q;
    q.text = lossText(changes) + QStringLiteral("\n\nWrite the image all the same?");
    q.icon = QuestionIcon::Exclamation;
    q.defaultAnswer = Answer::No;
    return run.dialogs.question(run.window, q) == Answer::Yes && run.window;
}

bool start(const std::shared_ptr<WriteRun>& run)
{
    SafeWriteOptions options = run->options;
    Link* link = &run->link;
    // The write waits on the link thread, between its backup read and the write, for the answer
    // or for the link's stop; an answer that can no longer come (the link is going) is a No.
    options.approveLoss = [link, run](const ImageChanges& changes, const std::atomic_bool* cancel) {
        auto answer = std::make_shared<std::promise<bool>>();
        std::future<bool> answered = answer->get_future();
        QMetaObject::invokeMethod(
            link, [run, changes, answer] { answer->set_value(letTanksGo(*run, changes)); },
            Qt::QueuedConnection);
        while (answered.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (cancel && cancel->load()) return false;
        }
        try {
            return answered.get();
        } catch (const std::future_error&) {
            return false;
        }
    };
    // Told on the link's thread; shown through the link's own queue, in order with the progress.
    options.step = [link, run](SafeWriteStep step) {
        QMetaObject::invokeMethod(
            link, [run, step] { showStep(*run, step); }, Qt::QueuedConnection);
    };
    const bool asked = run->link.runSafeWrite(
        run->window,
        [useCase = run->useCase, options](ExchangeContext& ctx) { return useCase(ctx, options); },
        [run](const SafeWrite& s) { ended(run, s); },
        [bar = run->bar](int percent) {
            if (bar) bar->setValue(percent);
        },
        run->kind);
    if (!asked) return false;
    if (run->bar) {
        run->bar->setValue(0);
        run->bar->setVisible(true);
    }
    if (run->status) run->status->setVisible(true);
    return true;
}

} // namespace

bool writeSafely(Link& link, Dialogs& dialogs, QWidget* window, SafeUseCase useCase,
                 bool offsetMode, WriteView view, SafeFinished finished, SafeAnswered answered,
                 ExchangeKind kind)
{
    auto run = std::make_shared<WriteRun>(
        WriteRun{link, dialogs, window, std::move(useCase), link.writeSafety().options(offsetMode),
                 view.bar, view.status, std::move(finished), std::move(answered), kind});
    if (start(run)) return true;
    dialogs.message(window, Link::kBusyMessage);
    return false;
}

bool sendImage(Link& link, Dialogs& dialogs, QWidget* window, const UploadSource& source,
               UploadVariant variant, bool offsetMode, WriteView view, SafeFinished finished)
{
    return writeSafely(
        link, dialogs, window,
        [source, variant](ExchangeContext& ctx, const SafeWriteOptions& options) {
            return safeUpload(ctx, source, variant, options);
        },
        offsetMode, view, std::move(finished));
}

bool sendIndicatorFile(Link& link, Dialogs& dialogs, QWidget* window, const QString& path,
                       UploadVariant variant, bool offsetMode, WriteView view)
{
    const UploadPreparation prepared = uploadSourceFromFile(path, variant);
    if (!prepared.source) {
        showMessages(dialogs, window, prepared.messages);
        return false;
    }
    return sendImage(link, dialogs, window, *prepared.source, variant, offsetMode, view);
}

} // namespace kaldor
