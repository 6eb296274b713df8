// The meter's history: the backups folder as its rows (newest first, the tanks, the size, the
// image last read), and the window's road with the real Qt boxes against the simulated meter:
// which buttons a selection allows, Compare of two, Open, Restore to Meter, and another folder.

#include "link/backuphistory.h"
#include "link/safewrite.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/uirig.h"
#include "ui/qtdialogs.h"

#include <QLabel>
#include <QTableWidget>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

// "sample": the sample's three tanks; "empty": a cleared meter's image; "junk": no indicator file.
void writeBackup(const QString& path, const QString& kind)
{
    if (kind == QLatin1String("junk")) return writeFile(path, "junk\n");
    const IndicatorImage image =
        kind == QLatin1String("sample") ? sampleImage() : SimulatedMeter::emptyImage();
    QVERIFY(writeIndicatorFile(path, image.blockCount(), image, 0).ok);
}

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void listing_data();
    void listing();
    void road();
};

void TestHistoryWindow::listing_data()
{
    QTest::addColumn<QStringList>("files"); // "name=kind"
    QTest::addColumn<QString>("lastRead");  // a kind; empty: nothing read
    QTest::addColumn<QStringList>("rows");  // "time|tanks|size|match"

    const QString sample = "12, 3, 7|" + QString::number(sampleImage().length()) + " bytes|";
    const QString junk = "|block count value 1 cannot be read|0 bytes|";
    QTest::newRow("newest first, a second's later backups above its first")
        << QStringList{"meter-2026-12-07-143005.idr=sample",
                       "meter-2026-12-07-143005-2.idr=empty",
                       "meter-2026-12-07-143005-10.idr=junk",
                       "meter-2026-12-06-090000.idr=sample",
                       "readback-2026-12-07-143006.idr=sample",
                       "copy.idr=sample"}
        << QString()
        << QStringList{"2026-12-07 14:30:05 (10)" + junk, "2026-12-07 14:30:05 (2)|none|512 bytes|",
                       "2026-12-07 14:30:05|" + sample, "2026-12-06 09:00:00|" + sample};
    const QStringList three{"meter-2026-12-01-090000.idr=sample",
                            "meter-2026-12-01-090001.idr=empty",
                            "meter-2026-12-01-090002.idr=junk"};
    QTest::newRow("the sample read last")
        << three << "sample"
        << QStringList{"2026-12-01 09:00:02" + junk, "2026-12-01 09:00:01|none|512 bytes|",
                       "2026-12-01 09:00:00|" + sample + "same"};
    QTest::newRow("a cleared meter read last")
        << three << "empty"
        << QStringList{"2026-12-01 09:00:02" + junk, "2026-12-01 09:00:01|none|512 bytes|same",
                       "2026-12-01 09:00:00|" + sample};
    QTest::newRow("digits that are no time: the file's own")
        << QStringList{"meter-2026-13-45-999999.idr=sample"} << QString()
        << QStringList{"2026-01-02 03:04:05|" + sample};
    QTest::newRow("no folder") << QStringList{} << QString() << QStringList{};
}

void TestHistoryWindow::listing()
{
    QFETCH(QStringList, files);
    QFETCH(QString, lastRead);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    const QString folder = dir.filePath("backups");
    for (const QString& file : files) {
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + '/' + file.section('=', 0, 0);
        writeBackup(path, file.section('=', 1));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(
            f.setFileTime(QDateTime({2026, 1, 2}, {3, 4, 5}), QFileDevice::FileModificationTime));
    }
    const IndicatorImage last = lastRead == "sample" ? sampleImage() : SimulatedMeter::emptyImage();
    QStringList found;
    for (const BackupRow& row : listBackupHistory(folder, lastRead.isEmpty() ? nullptr : &last))
        found << QStringList{backupTimeText(row), backupTanksText(row),
                             QString::number(row.imageBytes) + " bytes",
                             row.match == MeterMatch::Same ? "same" : ""}
                     .join('|');
    QCOMPARE(found, rows);
}

// Every box is a real one, answered as a person answers it.
void TestHistoryWindow::road()
{
    FreshDirectory dir;
    QtDialogs dialogs;
    UiRig rig(SimulatedMeter::emptyImage(), {}, true, true, &dialogs);
    QVERIFY(rig.waitIdle());
    QVERIFY(QDir().mkpath(rig.backupFolder()));
    writeBackup(rig.backupFolder() + "/meter-2026-12-01-090000.idr", "sample");
    writeBackup(rig.backupFolder() + "/meter-2026-12-02-090000.idr", "empty");
    ModalAnswerer answerer(*rig.link, {"Yes", dir.path({})});

    rig.trigger(nullptr, "ahistory");
    QWidget* history = rig.find("historyWindow");
    QVERIFY(history);
    auto* table = history->findChild<QTableWidget*>("tblBackups");
    const auto click = [&](const char* button) {
        history->findChild<QPushButton*>(button)->click();
    };
    const auto select = [&](const QList<int>& rows) {
        table->clearSelection();
        for (int r : rows)
            table->setRangeSelected(QTableWidgetSelectionRange(r, 0, r, 3), true);
    };
    QCOMPARE(table->rowCount(), 2);
    for (const QList<int>& rows : {QList<int>{}, {0, 1}, {1}}) {
        select(rows);
        QCOMPARE(history->findChild<QPushButton*>("cmdCompare")->isEnabled(), rows.size() == 2);
        QCOMPARE(history->findChild<QPushButton*>("cmdRestore")->isEnabled(), rows.size() == 1);
        QCOMPARE(history->findChild<QPushButton*>("cmdOpen")->isEnabled(), rows.size() == 1);
    }

    select({0, 1});
    click("cmdCompare");
    auto* compare = history->findChild<QWidget*>("cmpmeter");
    QVERIFY(compare);
    QCOMPARE(compare->findChild<QTableWidget*>("tblTanks")->item(0, 1)->text(),
             "only in 2026-12-01 09:00:00");

    select({1});
    click("cmdOpen");
    auto* viewer = history->findChild<QWidget*>("edtnk");
    QVERIFY(viewer);
    QCOMPARE(texts(viewer->findChild<QListWidget*>("List1")),
             QStringList({"Tank  12", "Tank  3", "Tank  7"}));

    click("cmdRestore");
    QTRY_VERIFY_WITH_TIMEOUT(answerer.shown.size() == 2 && !rig.link->isBusy() &&
                                 !QApplication::activeModalWidget(),
                             15000);
    QCOMPARE(answerer.shown[0], "question: Restore the backup made 2026-12-01 09:00:00 to the "
                                "meter? Every tank the meter holds now is replaced by the "
                                "backup's.");
    QVERIFY2(answerer.shown[1].startsWith("message: Data Sent") &&
                 answerer.shown[1].endsWith(kVerifiedMessage),
             qPrintable(answerer.shown[1]));
    QCOMPARE(rig.meter->image().bytes(), sampleImage().bytes());
    // The backup the restore made is listed, and the restored one holds what was read back.
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(2, 3)->text(), "same");

    click("cmdFolder");
    QTRY_COMPARE(rig.link->writeSafety().backupFolder, dir.path({}));
    QCOMPARE(table->rowCount(), 0);
    WriteSafety missing = rig.link->writeSafety();
    missing.backupFolder = dir.path("none");
    rig.link->setWriteSafety(missing);
    rig.trigger(nullptr, "ahistory");
    QCOMPARE(rig.find("historyWindow"), history);
    QVERIFY(history->findChild<QLabel*>("lblFolder")->text().contains("does not exist"));
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
