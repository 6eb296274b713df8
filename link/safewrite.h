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
#include "store/indicatorimage.h"
#include "store/messages.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

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
};

struct SafeWrite {
    SafeWriteOutcome outcome = SafeWriteOutcome::Written;
    ExchangeResult write; // the write's own result; not run when the backup failed
    Backup backup;        // path set when a backup was kept
    QString verifyText;   // kVerifiedMessage or the first difference
    QString readBackPath; // where a failed verify left what the meter holds
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

} // namespace kaldor
