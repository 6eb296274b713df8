// Writes with backup and read-back verify over the simulated meter, with a fault at every
// step: a backup that cannot be read stops the write, a write that fails keeps the backup and
// says where, a meter that stores something else or a clear that does not clear is named in
// the verify's message and leaves the read-back beside the backups; the backups folder keeps
// the newest 100 and never writes over a file.

#include "link/link.h"
#include "link/safewrite.h"
#include "linktesthelpers.h"

#include "store/indicatorfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace kaldor;
using namespace kaldor::testing;

Q_DECLARE_METATYPE(kaldor::SafeWriteOutcome)

namespace {

QDateTime noon()
{
    return QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5));
}

QStringList filesIn(const QString& folder, const QString& pattern)
{
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

// The tank 9 sent by every single-tank row: the three-point curve.
TankSend tankNine()
{
    return prepareTankSend(threePointTable(), 3, QStringLiteral("9"), {}, true).send.value();
}

} // namespace

class TestSafeWrite : public QObject {
    Q_OBJECT
private slots:
    void writes_data()
    {
        QTest::addColumn<QString>("write"); // upload, send or clear
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<bool>("verify");
        QTest::addColumn<SafeWriteOutcome>("outcome");
        QTest::addColumn<QString>("message"); // the last message, BACKUP and READBACK for the files
        QTest::addColumn<bool>("written");    // the meter took the write
        using O = SafeWriteOutcome;
        const QString kept =
            QStringLiteral("What the meter held before the write is kept in BACKUP");
        const QString nothing = QStringLiteral(
            "The meter could not be read before the write (%1). Nothing was written.");
        const QString notHeld =
            QStringLiteral("The meter does not hold what was sent. %1 What the meter holds now is "
                           "kept in READBACK");
        const auto row = [](const char* name, const char* write, QStringList faults, bool backup,
                            bool verify, O o, const QString& message, bool written) {
            QTest::newRow(name) << QString(write) << faults << backup << verify << o << message
                                << written;
        };
        // Without either option the write is the plain exchange: no read at all.
        row("upload alone", "upload", {}, false, false, O::Written, "Data Sent", true);
        row("upload verified", "upload", {}, true, true, O::Verified, kVerifiedMessage, true);
        row("upload, backup read times out", "upload", {"AU:2:silent"}, true, true, O::BackupFailed,
            nothing.arg("Comm timeout  2"), false);
        row("upload fails half-way", "upload", {"AD:20:nack"}, true, true, O::WriteFailed, kept,
            false);
        row("upload, meter stores a wrong point", "upload", {"AD:521:store"}, true, true,
            O::VerifyFailed,
            notHeld.arg(
                "Tank  12, point 2: 260 at 10.00 % was sent, the meter holds 260 at -90.47 %."),
            true);
        row("upload, meter stores a wrong directory byte", "upload", {"AD:101:store"}, true, true,
            O::VerifyFailed, notHeld.arg("Address 100: 0 was sent, the meter holds 255."), true);
        row("upload, read-back times out", "upload", {"AU:3:silent"}, false, true, O::VerifyFailed,
            "The meter could not be read back (Comm timeout  4): whether it holds what was sent is "
            "not known.",
            true);
        row("send verified", "send", {}, true, true, O::Verified, kVerifiedMessage, true);
        row("send, verify alone reads first", "send", {}, false, true, O::Verified,
            kVerifiedMessage, true);
        row("send, backup refused", "send", {"AU:1:nack"}, true, false, O::BackupFailed,
            nothing.arg("Indicator not ready  1"), false);
        row("send fails half-way", "send", {"CD:6:nack"}, true, true, O::WriteFailed, kept, false);
        row("send, meter stores a wrong value", "send", {"CD:8:store"}, true, true, O::VerifyFailed,
            notHeld.arg("Tank  9, point 1: 100 at 0 % was sent, the meter holds 108 at 0 %."),
            true);
        row("clear verified", "clear", {}, true, true, O::Verified, kVerifiedMessage, true);
        row("clear, backup fails", "clear", {"AU:3:close"}, true, true, O::BackupFailed,
            nothing.arg("The line on simulated meter was closed. The exchange stopped at stage 4."),
            false);
        row("clear that does not clear", "clear", {"CL:1:ignore"}, true, true, O::VerifyFailed,
            "The meter was not cleared: it still holds 3 tanks (12, 3, 7). What the meter holds "
            "now is kept in "
            "READBACK",
            false);
    }

    void writes()
    {
        QFETCH(QString, write);
        QFETCH(QStringList, faults);
        QFETCH(bool, backup);
        QFETCH(bool, verify);
        QFETCH(SafeWriteOutcome, outcome);
        QFETCH(QString, message);
        QFETCH(bool, written);

        const IndicatorImage before = sampleImage();
        OpenMeter m(before);
        for (const QString& f : faults)
            m.meter->addFault(MeterFault::parse(f).value());
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("backups"));
        SafeWriteOptions options{backup ? folder : QString(), verify, true, noon(), {}, {}};
        // The upload sends the sample's first two tanks again: an image other than the meter's.
        IndicatorImage sent = before;
        sent.set(layout::kTankCountAddress, 2);
        const TankSend send = tankNine();
        const SafeWrite s = write == QLatin1String("upload")
                                ? safeUpload(m.ctx, uploadSourceFromImage(sent, sent.length()),
                                             UploadVariant::MainWindow, options)
                            : write == QLatin1String("send")
                                ? safeSendTank(m.ctx, send, QString(), options)
                                : safeClear(m.ctx, options);

        QCOMPARE(s.outcome, outcome);
        QCOMPARE(s.ok(),
                 outcome == SafeWriteOutcome::Written || outcome == SafeWriteOutcome::Verified);
        message.replace(QStringLiteral("BACKUP"), s.backup.path)
            .replace(QStringLiteral("READBACK"), s.readBackPath);
        QCOMPARE(s.messages.constLast().text, message);
        QCOMPARE(s.messages.constLast().kind, s.ok() ? MessageKind::Info : MessageKind::Refusal);

        // Nothing reaches the meter after a failed backup; without a verify nothing is read after.
        const QByteArray command = write == QLatin1String("upload") ? "AD"
                                   : write == QLatin1String("send") ? "CD"
                                                                    : "CL";
        QCOMPARE(m.meter->commandCount(command), outcome == SafeWriteOutcome::BackupFailed ? 0 : 1);
        const bool readFirst = backup || (verify && write == QLatin1String("send"));
        const bool readAfter = verify && outcome != SafeWriteOutcome::BackupFailed &&
                               outcome != SafeWriteOutcome::WriteFailed;
        QCOMPARE(m.meter->commandCount("AU"), int(readFirst) + int(readAfter));
        QCOMPARE(m.meter->image() != before, written);

        // The backup holds what the meter held; a failed verify leaves the read-back beside it.
        const bool backedUp = backup && outcome != SafeWriteOutcome::BackupFailed;
        QCOMPARE(filesIn(folder, QStringLiteral("meter-*.idr")),
                 backedUp ? QStringList{QStringLiteral("meter-2026-12-07-143005.idr")}
                          : QStringList{});
        if (backedUp) QCOMPARE(loadIndicatorFile(s.backup.path).image, before);
        const bool readBack =
            backup && outcome == SafeWriteOutcome::VerifyFailed && readAfter &&
            !message.startsWith(QLatin1String("The meter could not be read back"));
        QCOMPARE(filesIn(folder, QStringLiteral("readback-*.idr")).size(), readBack ? 1 : 0);
        if (readBack) QCOMPARE(loadIndicatorFile(s.readBackPath).image, m.meter->image());
    }

    // One tank put back: every other record as the meter held it, the new one in its place or
    // after the others; an image that cannot be rebuilt soundly is not written at all.
    void replaces_data()
    {
        QTest::addColumn<int>("tank");
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<int>("spoil"); // a directory byte set before: 16 the count, 26 a number
        QTest::addColumn<QString>("fault");
        QTest::addColumn<SafeWriteOutcome>("outcome");
        QTest::addColumn<QString>("message"); // the first message, or the start of the last
        using O = SafeWriteOutcome;
        QTest::newRow("tank 3 replaced") << 3 << true << 0 << QString() << O::Verified
                                         << QStringLiteral("Tank 3 replaced in the meter.");
        QTest::newRow("tank 9 added, plain layout")
            << 9 << false << 0 << QString() << O::Verified
            << QStringLiteral("Tank 9 added after the meter's tanks.");
        QTest::newRow("not read as tanks")
            << 3 << true << 16 << QString() << O::NotWritten
            << QStringLiteral("What the meter holds cannot be read as tanks");
        QTest::newRow("tank 12 twice") << 12 << true << 26 << QString() << O::NotWritten
                                       << QStringLiteral("The meter holds tank 12 more than once");
        QTest::newRow("the meter stores a wrong byte")
            << 7 << true << 0 << QStringLiteral("AD:521:store") << O::VerifyFailed
            << QStringLiteral("The meter does not hold what was sent.");
    }

    void replaces()
    {
        QFETCH(int, tank);
        QFETCH(bool, offsetMode);
        QFETCH(int, spoil);
        QFETCH(QString, fault);
        QFETCH(SafeWriteOutcome, outcome);
        QFETCH(QString, message);
        IndicatorImage before = sampleImage();
        if (spoil) before.set(spoil, spoil == layout::kTankCountAddress ? 255 : 12);
        OpenMeter m(before);
        if (!fault.isEmpty()) m.meter->addFault(MeterFault::parse(fault).value());
        const TankSend send =
            prepareTankSend(threePointTable(), 3, QString::number(tank), {}, offsetMode)
                .send.value();
        SafeWriteOptions options;
        options.offsetMode = offsetMode;
        options.verify = false; // a replace verifies whatever is asked
        const SafeWrite s = safeReplaceTank(m.ctx, send, options);

        QCOMPARE(s.outcome, outcome);
        QVERIFY2(s.messages.constFirst().text.startsWith(message) ||
                     s.messages.constLast().text.startsWith(message),
                 qPrintable(s.messages.constLast().text));
        const bool written = outcome != SafeWriteOutcome::NotWritten;
        QCOMPARE(m.meter->commandCount("AD"), int(written));
        QCOMPARE(m.meter->commandCount("AU"), 1 + int(written));
        if (outcome != SafeWriteOutcome::Verified) return;
        const QVector<TankRecord> was = decodeTankRecords(before).records;
        const QVector<TankRecord> now = decodeTankRecords(m.meter->image()).records;
        const bool added = tank == 9;
        QCOMPARE(now.size(), was.size() + int(added));
        for (int i = 0; i < now.size(); ++i) {
            const bool sent = now[i].tankNumber == tank;
            QCOMPARE(now[i].tankNumber, i < was.size() ? was[i].tankNumber : tank);
            if (!sent) QCOMPARE(now[i].words, was[i].words);
            if (sent) QCOMPARE(now[i].words.size() * 2, send.block.size());
        }
    }

    // Before an image that lacks tanks the meter holds is written, leave is asked once, after
    // the backup's read and with no other exchange; No writes nothing.
    void dropWarning_data()
    {
        QTest::addColumn<bool>("letGo");
        QTest::newRow("let go") << true;
        QTest::newRow("kept") << false;
    }

    void dropWarning()
    {
        QFETCH(bool, letGo);
        OpenMeter m(sampleImage());
        QTemporaryDir dir;
        SafeWriteOptions options{dir.filePath(QStringLiteral("b")), true, true, noon(), {}, {}};
        QList<ImageChanges> asked;
        options.approveLoss = [&](const ImageChanges& c, const std::atomic_bool*) {
            asked.append(c);
            return letGo;
        };
        IndicatorImage sent = sampleImage(); // tank 3, the last of two, runs over tank 7's record
        sent.set(layout::kTankCountAddress, 2);
        const SafeWrite s = safeUpload(m.ctx, uploadSourceFromImage(sent, sent.length()),
                                       UploadVariant::MainWindow, options);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].dropped, QVector<int>{7});
        QCOMPARE(asked[0].changed, QVector<int>{3});
        QCOMPARE(s.outcome, letGo ? SafeWriteOutcome::Verified : SafeWriteOutcome::NotWritten);
        QCOMPARE(m.meter->commandCount("AD"), int(letGo));
        QCOMPARE(m.meter->commandCount("AU"), 1 + int(letGo));
        QCOMPARE(filesIn(options.backupFolder, QStringLiteral("meter-*.idr")).size(), 1);
        const QStringList texts = [&] {
            QStringList t;
            for (const Message& msg : s.messages)
                t.append(msg.text);
            return t;
        }();
        QVERIFY2(texts.contains(letGo
                                    ? QStringLiteral("Changed in the meter: tank 3.")
                                    : lossText(asked[0]) + QStringLiteral(" Nothing was written.")),
                 qPrintable(texts.join(u'|')));
    }

    // A single-tank send's verify looks at every tank, not only the one sent.
    void tankSendChecksEveryTank_data()
    {
        QTest::addColumn<int>("address"); // the byte of the meter's image spoilt after the send
        QTest::addColumn<int>("flip");    // the bits turned over there
        QTest::addColumn<QString>("difference");
        QTest::newRow("as meant") << 0 << 0 << QString();
        const QString notHeld = QStringLiteral("The meter does not hold what was sent. ");
        QTest::newRow("another tank changed")
            << 548 << 2
            << notHeld +
                   "Tank  3, point 1: -50 at 0 % was there before, the meter holds -50 at 1.562 %.";
        QTest::newRow("the sent tank under another number")
            << 29 << 3
            << notHeld + "Tank  9 was sent, the meter does not hold it. (2 differences in all.)";
    }

    void tankSendChecksEveryTank()
    {
        QFETCH(int, address);
        QFETCH(int, flip);
        OpenMeter m(sampleImage());
        const TankSend send = tankNine();
        QVERIFY(sendTankCurve(m.ctx, send, QString()).done());
        IndicatorImage after = m.meter->image();
        after.set(address, after.at(address) ^ flip);
        QTEST(tankSendDifference(sampleImage(), send, after), "difference");
    }

    // The folder keeps the newest 100 backups, removes the oldest, leaves other files alone
    // and never writes over a backup of the same second. The backup just made is kept even
    // when every other name carries a later time (a clock set wrong and then put right).
    void folderKeepsTheNewest_data()
    {
        QTest::addColumn<int>("aheadDays"); // how far the old names lie ahead of the new backup
        QTest::newRow("older names") << 0;
        QTest::newRow("names ahead of the clock") << 400;
    }

    void folderKeepsTheNewest()
    {
        QFETCH(int, aheadDays);
        QTemporaryDir dir;
        const QDateTime first = QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0)).addDays(aheadDays);
        const QDateTime now =
            QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0)).addSecs(backups::kKeep - 1);
        for (int i = 0; i < backups::kKeep; ++i)
            QVERIFY(writeFileAtomically(dir.filePath(backupFileName(first.addSecs(i))), "old").ok);
        QVERIFY(writeFileAtomically(dir.filePath(QStringLiteral("notes.idr")), "mine").ok);
        const QString last = dir.filePath(backupFileName(now));

        OpenMeter m(sampleImage());
        const Backup b = backupMeter(m.ctx, dir.path(), now);
        QVERIFY(b.ok());
        QVERIFY2(QFile::exists(b.path), qPrintable(b.path));
        if (aheadDays == 0) {
            QCOMPARE(b.path,
                     QString(last).replace(QStringLiteral(".idr"), QStringLiteral("-2.idr")));
            QCOMPARE(QFile(last).size(), 3); // the backup of the same second stays as it was
        }
        QCOMPARE(filesIn(dir.path(), QStringLiteral("meter-*.idr")).size(), backups::kKeep);
        QVERIFY(!QFile::exists(dir.filePath(backupFileName(first))));
        QVERIFY(QFile::exists(dir.filePath(backupFileName(first.addSecs(1)))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("notes.idr"))));
    }

    // Backups of one second are ordered by their suffix as a number, not as text.
    void sameSecondBySuffix()
    {
        QTemporaryDir dir;
        const QString base = backupFileName(QDateTime(QDate(2026, 1, 1), QTime(8, 0, 0)));
        QStringList names{base};
        for (const char* suffix : {"-2.idr", "-10.idr"})
            names.append(QString(base).replace(QStringLiteral(".idr"), QLatin1String(suffix)));
        for (const QString& name : names)
            QVERIFY(writeFileAtomically(dir.filePath(name), "old").ok);
        QCOMPARE(listBackups(dir.path()), names);
    }

    // The windows' request: the use case runs on the link thread and its result comes back to
    // the object that asked; with the port closed nothing runs and the result says so.
    void throughTheLink()
    {
        auto meter = std::make_shared<SimulatedMeter>(sampleImage());
        Link link([meter](const PortSpec&) { return std::make_unique<SimulatedPort>(meter); },
                  shortBounds());
        QObject asker;
        std::optional<SafeWrite> got;
        const auto clearing = [](ExchangeContext& ctx) {
            return safeClear(ctx, {QString(), true, true, {}, {}, {}});
        };
        QVERIFY(link.runSafeWrite(&asker, clearing, [&](const SafeWrite& s) { got = s; }));
        QVERIFY(QTest::qWaitFor([&] { return got.has_value(); }, 5000));
        QCOMPARE(got->outcome, SafeWriteOutcome::WriteFailed);
        QCOMPARE(meter->commandCount("CL"), 0);

        got.reset();
        QVERIFY(link.openPort(nullptr, PortSpec{1, {}}, {}));
        QVERIFY(QTest::qWaitFor([&] { return !link.isBusy(); }, 5000));
        QVERIFY(link.runSafeWrite(&asker, clearing, [&](const SafeWrite& s) { got = s; }));
        QVERIFY(QTest::qWaitFor([&] { return got.has_value(); }, 5000));
        QCOMPARE(got->outcome, SafeWriteOutcome::Verified);
        QCOMPARE(meter->commandCount("CL"), 1);
    }
};

QTEST_GUILESS_MAIN(TestSafeWrite)
#include "tst_safewrite.moc"
