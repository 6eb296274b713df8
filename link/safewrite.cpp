#include "link/safewrite.h"

#include "store/celltexts.h"
#include "store/imagecompare.h"
#include "store/indicatorfile.h"
#include "store/inputfile.h"
#include "store/wordcodec.h"

#include <QDir>

#include <algorithm>
#include <utility>

namespace kaldor {

namespace {

// The meter's side of a read that failed, in the main window's words.
QString readFailure(const ExchangeResult& r)
{
    QString text = downloadMessages(r, DownloadVariant::MainWindow).value(0).text.trimmed();
    if (r.outcome == Outcome::Refused && r.stage > 1) text = r.detail;
    return text;
}

// One step of a use case with its share of the progress bar.
class Phases {
public:
    Phases(ExchangeContext& ctx, int count) : m_ctx(ctx), m_count(std::max(count, 1)) {}
    ExchangeContext next()
    {
        const int index = m_index++;
        std::function<void(int)> progress;
        if (m_ctx.progress) {
            progress = [outer = m_ctx.progress, index, count = m_count](int percent) {
                outer((index * 100 + percent) / count);
            };
        }
        return ExchangeContext{m_ctx.port, m_ctx.bounds, std::move(progress), m_ctx.cancel};
    }

private:
    ExchangeContext& m_ctx;
    int m_count;
    int m_index = 0;
};

QString differenceSentence(const TankDifference& d, const QString& meant)
{
    const QString tank = tankListText(d.tankNumber);
    switch (d.kind) {
    case TankDifference::Kind::OnlyInA:
        return QStringLiteral("%1 %2, the meter does not hold it.").arg(tank, meant);
    case TankDifference::Kind::OnlyInB:
        return QStringLiteral("The meter holds %1, which was not sent.").arg(tank.simplified());
    case TankDifference::Kind::Changed:
        break;
    }
    return QStringLiteral("%1, %2: %3 %4, the meter holds %5.")
        .arg(tank, d.where, d.textA, meant, d.textB);
}

QString differenceSentence(const ByteDifference& d)
{
    const auto text = [](const std::optional<int>& v) {
        return v ? QString::number(*v) : QStringLiteral("nothing");
    };
    return QStringLiteral("Address %1: %2 was sent, the meter holds %3.")
        .arg(d.address)
        .arg(text(d.a), text(d.b));
}

QString notHeld(const QString& first, int differences)
{
    QString text = QStringLiteral("The meter does not hold what was sent. ") + first;
    if (differences > 1) text += QStringLiteral(" (%1 differences in all.)").arg(differences);
    return text;
}

QString checkUpload(const IndicatorImage& sent, const Download& after, bool offsetMode)
{
    const ImageComparison c = compareImages(sent, after.image, offsetMode);
    if (c.identical) return {};
    const int count = int(c.tanks.size() + c.bytes.size());
    if (!c.tanks.isEmpty())
        return notHeld(differenceSentence(c.tanks.first(), QStringLiteral("was sent")), count);
    return notHeld(differenceSentence(c.bytes.first()), count);
}

QVector<int> wordsOf(const QByteArray& block)
{
    QVector<int> words;
    for (int i = 0; i + 1 < block.size(); i += 2)
        words.append(decodeWord(std::uint8_t(block[i]), std::uint8_t(block[i + 1])));
    return words;
}

} // namespace

QString tankSendDifference(const IndicatorImage& before, const TankSend& send,
                           const IndicatorImage& after)
{
    const DecodeResult found = decodeTankRecords(after);
    if (!found.ok())
        return QStringLiteral("What the meter holds after the send cannot be read as tanks: %1.")
            .arg(found.detail);
    const DecodeResult held = decodeTankRecords(before);
    // The meter adds the tank after those it held; a meter whose data could not be read as
    // tanks starts again, and then only the new tank can be checked.
    QVector<TankRecord> expected = held.ok() ? held.records : QVector<TankRecord>();
    expected.append(TankRecord{send.tankNumber, 0, wordsOf(send.block)});
    const int newOccurrence =
        int(std::count_if(expected.cbegin(), expected.cend(),
                          [&](const TankRecord& r) { return r.tankNumber == send.tankNumber; }));
    QVector<TankDifference> diffs = compareTankRecords(expected, found.records, send.offsetMode);
    if (!held.ok()) {
        diffs.erase(std::remove_if(diffs.begin(), diffs.end(),
                                   [&](const TankDifference& d) {
                                       return d.tankNumber != send.tankNumber ||
                                              d.occurrence != newOccurrence;
                                   }),
                    diffs.end());
    }
    if (diffs.isEmpty()) return {};
    const TankDifference& d = diffs.first();
    const bool isNew = d.tankNumber == send.tankNumber && d.occurrence == newOccurrence;
    return notHeld(differenceSentence(d, isNew ? QStringLiteral("was sent")
                                               : QStringLiteral("was there before")),
                   int(diffs.size()));
}

namespace {

QString checkClear(const Download& after)
{
    const DecodeResult found = decodeTankRecords(after.image);
    if (!found.ok())
        return QStringLiteral("What the meter holds after the clear cannot be read as tanks: %1.")
            .arg(found.detail);
    if (found.tankCount == 0) return {};
    QStringList numbers;
    for (const TankRecord& r : found.records)
        numbers.append(QString::number(r.tankNumber));
    return QStringLiteral("The meter was not cleared: it still holds %1 %2 (%3).")
        .arg(found.tankCount)
        .arg(found.tankCount == 1 ? QStringLiteral("tank") : QStringLiteral("tanks"),
             numbers.join(QStringLiteral(", ")));
}

using OwnMessages = std::function<Messages(const ExchangeResult&)>;
// Runs after the read before the write, when there is one: false stops the write before
// anything is written, with the reason in the messages.
using Gate = std::function<bool(const Download& before, SafeWrite& s, const std::atomic_bool*)>;

QString keptText(const QString& path, bool written)
{
    return (written ? QStringLiteral("What the meter held before the write is kept in %1")
                    : QStringLiteral("What the meter holds is kept in %1"))
        .arg(QDir::toNativeSeparators(path));
}

// "Changed in the meter: tanks 2 and 5. Added: tank 9."; empty when neither.
QString changesText(const ImageChanges& c)
{
    QStringList parts;
    if (!c.changed.isEmpty())
        parts.append(QStringLiteral("Changed in the meter: %1.").arg(tankNumbersText(c.changed)));
    if (!c.added.isEmpty())
        parts.append(QStringLiteral("Added: %1.").arg(tankNumbersText(c.added)));
    return parts.join(u' ');
}

// The use case every write shares: backup (or the read a check needs), the gate, the write,
// the read-back and its check.
template <typename Write, typename Check>
SafeWrite runSafeWrite(ExchangeContext& ctx, const SafeWriteOptions& options, bool needBefore,
                       const Gate& gate, Write write, const OwnMessages& ownMessages, Check check)
{
    SafeWrite s;
    const QDateTime time = options.time.isNull() ? QDateTime::currentDateTime() : options.time;
    const bool backup = !options.backupFolder.isEmpty();
    const bool readFirst = backup || (needBefore && options.verify);
    Phases phases(ctx, (readFirst ? 1 : 0) + 1 + (options.verify ? 1 : 0));
    const auto tell = [&options](SafeWriteStep step) {
        if (options.step) options.step(step);
    };

    Download before;
    if (readFirst) {
        tell(backup ? SafeWriteStep::Backup : SafeWriteStep::Read);
        ExchangeContext phase = phases.next();
        if (backup) {
            s.backup = backupMeter(phase, options.backupFolder, time);
            before = s.backup.read;
        } else {
            before = downloadImage(phase);
            if (!before.result.done()) s.backup.why = readFailure(before.result);
        }
        if (!s.backup.ok()) {
            s.outcome = SafeWriteOutcome::BackupFailed;
            s.write = stageResult(Outcome::Cancelled, 0, s.backup.why);
            s.messages.append(
                refusal(QStringLiteral("The meter could not be read before the write (%1). "
                                       "Nothing was written.")
                            .arg(s.backup.why)));
            return s;
        }
        if (gate && !gate(before, s, ctx.cancel)) {
            s.outcome = SafeWriteOutcome::NotWritten;
            s.write = stageResult(Outcome::Cancelled, 0, QStringLiteral("nothing was written"));
            if (!s.backup.path.isEmpty()) s.messages.append(info(keptText(s.backup.path, false)));
            return s;
        }
    }

    tell(SafeWriteStep::Write);
    ExchangeContext writing = phases.next();
    s.write = write(writing);
    s.messages = ownMessages(s.write);
    if (!s.backup.path.isEmpty()) {
        const QString kept = keptText(s.backup.path, true);
        s.messages.append(s.write.done() ? info(kept) : refusal(kept));
    }
    if (!s.write.done()) {
        s.outcome = SafeWriteOutcome::WriteFailed;
        return s;
    }
    if (const QString changes = changesText(s.changes); !changes.isEmpty())
        s.messages.append(info(changes));
    if (!options.verify) return s;

    tell(SafeWriteStep::Verify);
    ExchangeContext reading = phases.next();
    const Download after = downloadImage(reading);
    if (after.result.done()) s.readBack = std::make_shared<const IndicatorImage>(after.image);
    s.outcome = SafeWriteOutcome::VerifyFailed;
    if (!after.result.done()) {
        s.verifyText =
            QStringLiteral(
                "The meter could not be read back (%1): whether it holds what was sent is not "
                "known.")
                .arg(readFailure(after.result));
        s.messages.append(refusal(s.verifyText));
        return s;
    }
    const QString difference = check(before, after);
    if (difference.isEmpty()) {
        s.outcome = SafeWriteOutcome::Verified;
        s.verifyText = kVerifiedMessage;
        s.messages.append(info(s.verifyText));
        return s;
    }
    s.verifyText = difference;
    QString text = difference;
    if (backup && QDir().mkpath(options.backupFolder)) {
        const QString path = freshPath(options.backupFolder, readBackFileName(time));
        if (writeIndicatorFile(path, after.blockCount, after.image, after.trailingValue).ok) {
            s.readBackPath = path;
            text += QStringLiteral(" What the meter holds now is kept in %1")
                        .arg(QDir::toNativeSeparators(path));
        }
    }
    s.messages.append(refusal(text));
    return s;
}

IndicatorImage sentImage(const UploadSource& source)
{
    IndicatorImage sent = source.image;
    sent.setLength(source.blockCount * layout::kBlockSize);
    return sent;
}

} // namespace

Backup backupMeter(ExchangeContext& ctx, const QString& folder, const QDateTime& time)
{
    Backup b;
    b.read = downloadImage(ctx);
    if (!b.read.result.done()) {
        b.why = readFailure(b.read.result);
        return b;
    }
    if (!QDir().mkpath(folder)) {
        b.why = fileRefusal(folder, QStringLiteral("the backups folder cannot be made"));
        return b;
    }
    const QString path = freshPath(folder, backupFileName(time));
    const FileWriteResult written =
        writeIndicatorFile(path, b.read.blockCount, b.read.image, b.read.trailingValue);
    if (!written.ok) {
        b.why = errorText(written.errorNumber) + QStringLiteral(", ") +
                fileRefusal(path, written.detail);
        return b;
    }
    b.path = path;
    pruneBackups(folder, path);
    return b;
}

SafeWrite safeUpload(ExchangeContext& ctx, const UploadSource& source, UploadVariant variant,
                     const SafeWriteOptions& options)
{
    const IndicatorImage sent = sentImage(source);
    // Before anything is written: what the image does to the tanks the meter holds, and a
    // tank it would remove only with leave.
    const Gate gate = [&](const Download& before, SafeWrite& s, const std::atomic_bool* cancel) {
        s.changes = imageChanges(before.image, sent);
        if (s.changes.dropped.isEmpty() || !options.approveLoss ||
            options.approveLoss(s.changes, cancel))
            return true;
        s.messages.append(refusal(lossText(s.changes) + QStringLiteral(" Nothing was written.")));
        return false;
    };
    return runSafeWrite(
        ctx, options, false, gate,
        [&](ExchangeContext& c) { return uploadImage(c, source, variant); }, uploadMessages,
        [&](const Download&, const Download& after) {
            return checkUpload(sent, after, options.offsetMode);
        });
}

SafeWrite safeSendTank(ExchangeContext& ctx, const TankSend& send, const QString& workingFile,
                       const SafeWriteOptions& options)
{
    return runSafeWrite(
        ctx, options, true, {},
        [&](ExchangeContext& c) { return sendTankCurve(c, send, workingFile); }, sendTankMessages,
        [&](const Download& before, const Download& after) {
            return tankSendDifference(before.image, send, after.image);
        });
}

SafeWrite safeClear(ExchangeContext& ctx, const SafeWriteOptions& options)
{
    return runSafeWrite(
        ctx, options, false, {}, [](ExchangeContext& c) { return sendClearCommand(c); },
        clearMessages, [](const Download&, const Download& after) { return checkClear(after); });
}

QString lossText(const ImageChanges& changes)
{
    return QStringLiteral("The meter holds %1, which the image to be written does not: writing it "
                          "removes %2 from the meter.")
        .arg(tankNumbersText(changes.dropped),
             changes.dropped.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

TankReplacement replaceTankImage(const IndicatorImage& held, const TankSend& send)
{
    TankReplacement out;
    const DecodeResult found = decodeTankRecords(held);
    if (!found.ok()) {
        out.refusal =
            QStringLiteral("What the meter holds cannot be read as tanks: %1.").arg(found.detail);
        return out;
    }
    // Each record as the meter holds it, byte for byte.
    const QByteArray bytes = held.bytes();
    QVector<RecordBytes> records;
    records.reserve(found.records.size() + 1);
    int at = -1;
    for (int i = 0; i < found.records.size(); ++i) {
        const TankRecord& r = found.records[i];
        if (r.tankNumber == send.tankNumber) {
            if (at >= 0) {
                out.refusal = QStringLiteral("The meter holds tank %1 more than once: which one "
                                             "to replace is not known.")
                                  .arg(send.tankNumber);
                return out;
            }
            at = i;
        }
        records.append({r.tankNumber, bytes.mid(r.start, 2 * r.words.size())});
    }
    out.added = at < 0;
    if (out.added)
        records.append({send.tankNumber, send.block});
    else
        records[at].bytes = send.block;

    IndicatorImage image;
    const RecordLayout placed = layOutRecords(records, image);
    if (placed.status == RecordLayout::Status::TooManyTanks) {
        out.refusal = QStringLiteral("The meter holds %1 tanks, the most it can hold: tank %2 "
                                     "cannot be added.")
                          .arg(found.records.size())
                          .arg(send.tankNumber);
        return out;
    }
    if (placed.status == RecordLayout::Status::DoesNotFit) {
        out.refusal = QStringLiteral("With tank %1's curve the tanks do not fit: the image would "
                                     "end at address %2, past the last address %3.")
                          .arg(send.tankNumber)
                          .arg(placed.end)
                          .arg(layout::kMaxLength);
        return out;
    }
    // The meter reads the new image by the rules it read the old one by: every record must come
    // back with its words.
    const DecodeResult again = decodeTankRecords(image);
    for (int i = 0; i < records.size(); ++i) {
        const QVector<int> words = wordsOf(records[i].bytes);
        if (!again.ok() || i >= again.records.size() || again.records[i].words != words) {
            out.refusal = QStringLiteral("Tank %1 would not read back word for word from the "
                                         "new image.")
                              .arg(records[i].tankNumber);
            return out;
        }
    }
    out.source = uploadSourceFromImage(image, image.length());
    return out;
}

SafeWrite safeReplaceTank(ExchangeContext& ctx, const TankSend& send,
                          const SafeWriteOptions& options)
{
    SafeWriteOptions always = options;
    always.verify = true;
    std::optional<UploadSource> source;
    bool added = false;
    const Gate gate = [&](const Download& before, SafeWrite& s, const std::atomic_bool*) {
        TankReplacement r = replaceTankImage(before.image, send);
        if (!r.source) {
            s.messages.append(refusal(r.refusal + QStringLiteral(" Nothing was written.")));
            return false;
        }
        source = std::move(r.source);
        added = r.added;
        return true;
    };
    const OwnMessages own = [&](const ExchangeResult& r) {
        if (!r.done()) return uploadMessages(r);
        return Messages{info((added ? QStringLiteral("Tank %1 added after the meter's tanks.")
                                    : QStringLiteral("Tank %1 replaced in the meter."))
                                 .arg(send.tankNumber))};
    };
    return runSafeWrite(
        ctx, always, true, gate,
        [&](ExchangeContext& c) { return uploadImage(c, *source, UploadVariant::Viewer); }, own,
        [&](const Download&, const Download& after) {
            return checkUpload(sentImage(*source), after, always.offsetMode);
        });
}

} // namespace kaldor
