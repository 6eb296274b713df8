#pragma once
// Writing to the meter without losing what it held. Before an upload, a single-tank send or a
// clear the meter's image is read ("AU") and kept as an indicator file in the download's form;
// when that read fails nothing is written. After the write the meter is read again and what
// it holds is checked against what was meant: the whole image after an upload, the new tank
// with exactly the words sent and every other tank as before after a single-tank send, no
// tanks after a clear. Each use case is straight-line code over the port, run on the link
// thread like any exchange.

#include "link/backups.h"
#include "link/exchanges.h"
#include "store/imagecompare.h"
#include "store/indicatorimage.h"
#include "store/messages.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace kaldor {

inline const QString kVerifiedMessage = QStringLiteral("Verified: the meter holds what was sent.");

struct Backup {
    Download read; // the read and the image it brought
    QString path;  // the file kept; empty when there is none
    QString why;   // why there is no backup; empty when there is one
    bool ok() const { return why.isEmpty(); }
};

// Reads the meter and keeps the image under a fresh name in `folder` (made when missing), then
// removes the backups beyond the newest 100.
Backup backupMeter(ExchangeContext& ctx, const QString& folder, const QDateTime& time);

// The steps of a write, told as each starts. Read is the read a single-tank verify needs when
// no backup is kept.
enum class SafeWriteStep { Backup, Read, Write, Verify };

struct SafeWriteOptions {
    QString backupFolder; // empty: no backup; a failed verify keeps the read-back here too
    bool verify = false;
    bool offsetMode = true;                  // how a verify names a point
    QDateTime time;                          // names the files; now when null
    std::function<void(SafeWriteStep)> step; // called on the thread the write runs on
    // Asked, on the thread the write runs on, when the read before a whole image's write finds
    // tanks in the meter that the image lacks: false writes nothing. The flag is the link's
    // stop. Unset, the write goes on.
    std::function<bool(const ImageChanges& changes, const std::atomic_bool* cancel)> approveLoss;
};

// What the windows' writes do around the write: on in every window unless switched off for
// the rest of the run.
struct WriteSafety {
    QString backupFolder = defaultBackupFolder();
    bool backup = true;
    bool verify = true;

    SafeWriteOptions options(bool offsetMode) const
    {
        SafeWriteOptions o;
        o.backupFolder = backup ? backupFolder : QString();
        o.verify = verify;
        o.offsetMode = offsetMode;
        return o;
    }
};

enum class SafeWriteOutcome {
    Written,      // the write was done; no verify asked for
    BackupFailed, // the read before the write failed: nothing was written
    WriteFailed,  // the write itself failed (a backup, if asked for, is kept)
    Verified,     // the read-back holds what was meant
    VerifyFailed, // the read-back differs, or could not be read
    NotWritten,   // stopped after the read, before the write: the tanks it would remove were
                  // not let go, or the meter's image could not be rebuilt for a replace
};

struct SafeWrite {
    SafeWriteOutcome outcome = SafeWriteOutcome::Written;
    ExchangeResult write; // the write's own result; not run when the backup failed
    Backup backup;        // path set when a backup was kept
    QString verifyText;   // kVerifiedMessage or the first difference
    QString readBackPath; // where a failed verify left what the meter holds
    ImageChanges changes; // a whole image's write after a read: what it does to the tanks
    std::shared_ptr<const IndicatorImage> readBack; // what the verify read; null when not read
    Messages messages; // the write's own message, then what backup and verify add
    bool ok() const
    {
        return outcome == SafeWriteOutcome::Written || outcome == SafeWriteOutcome::Verified;
    }
};

// What a single-tank send's verify finds: empty when `after` holds the tanks of `before`
// unchanged and the sent tank after them with exactly its words; otherwise the first
// difference in a sentence. When `before` cannot be read as tanks only the sent tank counts.
QString tankSendDifference(const IndicatorImage& before, const TankSend& send,
                           const IndicatorImage& after);

SafeWrite safeUpload(ExchangeContext& ctx, const UploadSource& source, UploadVariant variant,
                     const SafeWriteOptions& options);
// The send's own layout names the points.
SafeWrite safeSendTank(ExchangeContext& ctx, const TankSend& send, const QString& workingFile,
                       const SafeWriteOptions& options);
SafeWrite safeClear(ExchangeContext& ctx, const SafeWriteOptions& options);

// "The meter holds tanks 3 and 8, which the image to be written does not: writing it removes
// them from the meter."
QString lossText(const ImageChanges& changes);

// One tank put back: the meter's tanks in their order with the send's tank in place of the
// record of that number, or after them when the meter holds none, laid out as a built image.
// Every other record keeps its words. Refused, with the reason, when the meter's image cannot be
// read as tanks, holds the number twice or does not lay out again word for word.
struct TankReplacement {
    std::optional<UploadSource> source;
    bool added = false; // the meter did not hold the tank
    QString refusal;
};
TankReplacement replaceTankImage(const IndicatorImage& held, const TankSend& send);

// Reads the meter (the backup when a folder is given), writes the image replaceTankImage makes
// from it and reads it back: the verify is always made.
SafeWrite safeReplaceTank(ExchangeContext& ctx, const TankSend& send,
                          const SafeWriteOptions& options);

} // namespace kaldor
