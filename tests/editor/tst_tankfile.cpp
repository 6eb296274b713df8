// Tank files byte for byte, their reading in both layouts (also the other layout's file), and
// the refusals that keep a wrong file from being written.

#include "curvetables.h"
#include "store/atomicfile.h"
#include "store/tankfile.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kaldor;
using namespace kaldor::testing;

class TestTankFile : public QObject {
    Q_OBJECT
private slots:
    void savesByteForByte_data()
    {
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<QString>("tankNumber");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("offset capable") << true << QStringLiteral("5") << threePointTankFile(true);
        QTest::newRow("not offset capable")
            << false << QStringLiteral("5") << threePointTankFile(false);
        QTest::newRow("leading zeros kept")
            << true << QStringLiteral("007") << "007" + threePointTankFile(true).mid(1);
    }

    void savesByteForByte()
    {
        QFETCH(bool, offsetMode);
        QFETCH(QString, tankNumber);
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.tnk"));
        const CurveTable t = threePointTable();
        const TankFileSave saved =
            saveTankFile(path, tankNumber, encodeCurve(t, 3, offsetMode), 3, t, offsetMode);
        QVERIFY(saved.ok);
        QCOMPARE(saved.messages,
                 Messages{info(QStringLiteral("File ") + path + QStringLiteral(" saved."))});
        QCOMPARE(readFile(path), file);

        // Read back in the same layout: the same tank number, count and cell texts.
        CurveTable back;
        back.setValue(50, QStringLiteral("stale"));
        const TankFileOpen opened = openTankFile(path, offsetMode, back);
        QVERIFY(opened.ok);
        QCOMPARE(opened.tankNumberText, std::optional<QString>(tankNumber));
        QCOMPARE(opened.pointCount, std::optional<int>(3));
        QVERIFY(back == t);
    }

    void refusesToSave_data()
    {
        QTest::addColumn<QString>("tankNumber");
        QTest::addColumn<QString>("lastValue");
        QTest::addColumn<QString>("middleValue");
        QTest::addColumn<QString>("message");
        QTest::newRow("tank 256") << "256"
                                  << "1100"
                                  << "600" << kTankNumberRefusal;
        QTest::newRow("full scale 40000") << "5"
                                          << "40100"
                                          << "600"
                                          << "The full scale 40000 is too large for a tank file";
        QTest::newRow("encoding failed") << "5"
                                         << "1100"
                                         << "2000"
                                         << "The curve could not be encoded";
        // The file holds the full scale rounded to 900, below the last value less the first.
        QTest::newRow("rounded full scale below the last value")
            << "5"
            << "1000.4"
            << "600"
            << "Tank file t.tnk cannot be used: point 3 (value 1000.4, 99.99 %) lies outside";
    }

    void refusesToSave()
    {
        QFETCH(QString, tankNumber);
        QFETCH(QString, lastValue);
        QFETCH(QString, middleValue);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.tnk"));
        QVERIFY(writeFileAtomically(path, "old curve").ok);
        CurveTable t = threePointTable();
        t.setValue(3, lastValue);
        t.setValue(2, middleValue);
        const TankFileSave saved =
            saveTankFile(path, tankNumber, encodeCurve(t, 3, true), 3, t, true);
        QVERIFY(!saved.ok);
        QVERIFY2(saved.messages.value(0).text.startsWith(message),
                 qPrintable(saved.messages.value(0).text));
        QCOMPARE(readFile(path), QByteArray("old curve"));
    }

    // The offset is minus the first value: a tank file holds it down to -32767.
    void offsetBound()
    {
        QTemporaryDir dir;
        const CurveTable t = tableOf({{"32767", "0"}, {"40000", "99.99"}});
        const TankFileSave save =
            saveTankFile(dir.filePath(QStringLiteral("t.tnk")), QStringLiteral("5"),
                         encodeCurve(t, 2, true), 2, t, true);
        QVERIFY2(save.ok, qPrintable(save.messages.value(0).text));
    }

    void opens_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no file at all; "/": a directory
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<QString>("message"); // empty: opened
        QTest::addColumn<int>("pointCount");  // -1: not read
        QTest::addColumn<QString>("firstValue");

        const QByteArray offsetFile = threePointTankFile(true);
        const QByteArray plainFile = threePointTankFile(false);
        const auto row = [](const char* name, const QByteArray& file, bool offsetMode,
                            const char* message, int pointCount = -1, const char* first = "") {
            QTest::newRow(name) << file << offsetMode << QString(message) << pointCount
                                << QString(first);
        };
        row("missing", {}, true, "File not found.");
        // Refused, not read and not silent, whatever its content.
        row("a directory", "/", true, "Error:  75");
        // Read in the other layout, the offset line becomes the count: -100 gives an empty curve.
        row("offset file, other layout", offsetFile, false, "", 0);
        // The count line becomes the offset and the first VALUE the count: 100 points are not
        // there.
        row("plain file, offset layout", plainFile, true, "Error:  62", 100);
        row("full scale 40000", "5\r\n 40000 \r\n 0 \r\n 1 \r\n1, 99.99,", true, "Error:  6");
        row("150 points", "5\r\n 1000 \r\n 0 \r\n 150 \r\n", true, "Error:  9");
        row("no line end needed", "9\n 10 \n 0 \n 1 \n7, 99.99", true, "", 1, "7");
    }

    void opens()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, offsetMode);
        QFETCH(QString, message);
        QFETCH(int, pointCount);
        QFETCH(QString, firstValue);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.tnk"));
        if (file == "/")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("t.tnk")));
        else if (!file.isEmpty())
            QVERIFY(writeFileAtomically(path, file).ok);
        CurveTable t = threePointTable();
        const TankFileOpen opened = openTankFile(path, offsetMode, t);
        QCOMPARE(opened.ok, message.isEmpty());
        if (!message.isEmpty()) {
            QCOMPARE(opened.messages, Messages{refusal(message)});
            QVERIFY2(opened.detail.startsWith(path + QStringLiteral(": ")),
                     qPrintable(opened.detail));
        }
        QCOMPARE(opened.pointCount.value_or(-1), pointCount);
        QCOMPARE(t.value(1), firstValue);
        if (!opened.ok) QCOMPARE(t.filledRows(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTankFile)
#include "tst_tankfile.moc"
