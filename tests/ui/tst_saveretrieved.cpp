// File Management > "&Save Retrieved Indicator File" with scripted dialogs.

#include "shell/saveretrieved.h"
#include "store/messages.h"
#include "tests/support/scripteddialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kaldor;

namespace {
const QByteArray kWorkingBytes = " 0 ,  1 ,  61 ,  180 ,  200 ,  132 ,  150 ,  150 ,  20 ,  80 ,  61 \r\n";
}

class TestSaveRetrieved : public QObject {
    Q_OBJECT
private slots:
    void save_data();
    void save();
};

void TestSaveRetrieved::save_data()
{
    QTest::addColumn<bool>("haveWorkingFile");
    // Names typed into the dialog, relative to a fresh folder; "<cancel>" cancels it.
    QTest::addColumn<QStringList>("answers");
    // Expected messages; "%1" stands for the full path of the accepted name.
    QTest::addColumn<QStringList>("expected");
    // The name that must hold a copy of the working file afterwards, or empty.
    QTest::addColumn<QString>("savedAs");

    const QString wrong = QStringLiteral("Wrong file extension");
    QTest::newRow("upper case .IDR") << true << QStringList{"B.IDR"} << QStringList{"%1 saved."}
                                     << "B.IDR";
    QTest::newRow(".idr inside the name") << true << QStringList{"c.idr.bak"}
                                          << QStringList{"%1 saved."} << "c.idr.bak";
    QTest::newRow(".txt, then .Idr, then .idr")
        << true << QStringList{"d.txt", "d.Idr", "d.idr"} << QStringList{wrong, wrong, "%1 saved."}
        << "d.idr";
    QTest::newRow(".txt, then cancel") << true << QStringList{"e.txt", "<cancel>"}
                                       << QStringList{wrong} << "";
    QTest::newRow("no working file") << false << QStringList{"f.idr"}
                                     << QStringList{"Get Indicator data first."} << "";
    QTest::newRow("a folder as the name") << true << QStringList{"folder.idr"}
                                          << QStringList{"Bad filename."} << "";
    QTest::newRow("missing folder") << true << QStringList{"nowhere/g.idr"}
                                    << QStringList{errorText(err::kPathNotFound)} << "";
}

void TestSaveRetrieved::save()
{
    QFETCH(bool, haveWorkingFile);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, expected);
    QFETCH(QString, savedAs);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.idr")));
    const QString working = dir.filePath(QStringLiteral("All1.DAT"));
    if (haveWorkingFile) {
        QFile f(working);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kWorkingBytes);
    }

    ScriptedDialogs dialogs;
    QString accepted;
    for (const QString& a : answers) {
        if (a == QLatin1String("<cancel>")) {
            dialogs.queueFileName(std::nullopt);
        } else {
            dialogs.queueFileName(dir.filePath(a));
            accepted = dir.filePath(a);
        }
    }
    saveRetrievedIndicatorFile(nullptr, dialogs, working);

    QStringList want;
    for (const QString& e : expected)
        want.append(e.contains(QLatin1String("%1")) ? e.arg(accepted) : e);
    QCOMPARE(dialogs.messages(), want);
    QCOMPARE(dialogs.unscripted(), 0);
    if (!savedAs.isEmpty()) {
        QFile copy(dir.filePath(savedAs));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), kWorkingBytes);
    }
    // Nothing but the working file, the folder and the saved copy is left behind.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    QCOMPARE(left.size(), (haveWorkingFile ? 1 : 0) + (savedAs.isEmpty() ? 0 : 1));
}

QTEST_MAIN(TestSaveRetrieved)
#include "tst_saveretrieved.moc"
