// The shared number and text rules and the atomic file write, as the container and the
// cell texts rely on them.

#include "store/atomicfile.h"
#include "store/messages.h"
#include "store/textrules.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace kaldor;

class TestTextRules : public QObject {
    Q_OBJECT
private slots:
    void valRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number");
        QTest::newRow("leading blanks") << "   12.5abc" << 12.5;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("negative fraction") << " -.5" << -0.5;
        QTest::newRow("comma is no decimal point") << "1,5" << 1.0;
        QTest::newRow("exponent") << "1E2x" << 100.0;
        QTest::newRow("bare exponent letter") << "7e" << 7.0;
    }
    void valRule()
    {
        QFETCH(QString, text);
        QFETCH(double, number);
        QCOMPARE(val(text), number);
    }

    void strRule_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("below 1") << 0.5 << " .5";
        QTest::newRow("negative below 1") << -0.25 << "-.25";
        QTest::newRow("whole") << 100.0 << " 100";
        QTest::newRow("zero") << 0.0 << " 0";
        QTest::newRow("fifteen digits") << 1.0 / 3.0 << " .333333333333333";
        QTest::newRow("sum rounds at 15 digits") << 0.1 + 0.2 << " .3";
        QTest::newRow("past the precision") << 1e15 << " 1E+15";
        QTest::newRow("small") << 1.0 / 300.0 << " 3.33333333333333E-03";
    }
    void strRule()
    {
        QFETCH(double, number);
        QFETCH(QString, text);
        QCOMPARE(strNumber(number), text);
        QCOMPARE(strNumber(12), QStringLiteral(" 12"));
        QCOMPARE(errorText(9), QStringLiteral("Error:  9"));
    }

    void halfEven_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<double>("rounded");
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("1.5") << 1.5 << 2.0;
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("-2.5") << -2.5 << -2.0;
        QTest::newRow("-1.5") << -1.5 << -2.0;
        QTest::newRow("below a half") << 2.4999 << 2.0;
    }
    void halfEven()
    {
        QFETCH(double, number);
        QFETCH(double, rounded);
        QCOMPARE(roundHalfEven(number), rounded);
    }

    void fieldReader()
    {
        FieldReader reader(" 12 , -3 ,abc, 40000,1.5, 2.5 ,, \r\n 7 \r\n  ");
        int error = 0;
        QCOMPARE(reader.readInt16(&error), std::optional(12));
        QCOMPARE(reader.readInt16(&error), std::optional(-3));
        const int expectedErrors[] = {err::kTypeMismatch, err::kOverflow};
        for (int expected : expectedErrors) {
            QVERIFY(!reader.readInt16(&error));
            QCOMPARE(error, expected);
        }
        QCOMPARE(reader.readInt16(&error), std::optional(2)); // 1.5 to the even neighbour
        QCOMPARE(reader.readInt16(&error), std::optional(2)); // 2.5 as well
        QCOMPARE(reader.readString(), std::optional(QString())); // the empty field
        QVERIFY(!reader.atEnd());
        QCOMPARE(reader.readInt16(&error), std::optional(7));
        QVERIFY(reader.atEnd());
        QVERIFY(!reader.readInt16(&error));
        QCOMPARE(error, err::kInputPastEnd);
    }

    void writeIntoMissingDirectory()
    {
        QTemporaryDir dir;
        const FileWriteResult result = writeFileAtomically(dir.filePath("absent/All1.DAT"), "data");
        QVERIFY(!result.ok);
        QCOMPARE(result.errorNumber, err::kPathNotFound);
        QVERIFY(!result.detail.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath("absent")));
    }

    void failedWriteKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("tank.idr");
        QVERIFY(writeFileAtomically(path, "old content").ok);
        // A file size limit makes the write run short, as a full disk would.
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const FileWriteResult result = writeFileAtomically(path, QByteArray(1 << 20, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QVERIFY(!result.ok);
        QVERIFY(result.errorNumber != 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"tank.idr"});
    }
};

QTEST_GUILESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
