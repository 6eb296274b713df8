// The shared number and text rules and the atomic file write, as the container and the
// cell texts rely on them.

#include "store/atomicfile.h"
#include "store/messages.h"
#include "store/textrules.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

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
        QTest::newRow("zero") << 0.0 << " 0";
        QTest::newRow("fifteen digits") << 1.0 / 3.0 << " .333333333333333";
        QTest::newRow("past the precision") << 1e15 << " 1E+15";
        QTest::newRow("small") << 1.0 / 300.0 << " 3.33333333333333E-03";
    }
    void strRule()
    {
        QFETCH(double, number);
        QFETCH(QString, text);
        QCOMPARE(strNumber(number), text);
    }

    void fieldReader()
    {
        FieldReader reader(" 12 , -3 ,abc, 40000,1.5, 2.5 ,-2.5,-32768,, \r\n 7 \r\n  ");
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
        QCOMPARE(reader.readInt16(&error), std::optional(-2));
        QCOMPARE(reader.readInt16(&error), std::optional(-32768));
        QCOMPARE(reader.readString(), std::optional(QString())); // the empty field
        QVERIFY(!reader.atEnd());
        QCOMPARE(reader.readInt16(&error), std::optional(7));
        QVERIFY(reader.atEnd());
        QVERIFY(!reader.readInt16(&error));
        QCOMPARE(error, err::kInputPastEnd);
    }

    // A field past 2 GiB: the reader's position must not wrap to a negative index. The data is
    // one 64 KiB file of blanks mapped 32768 times, then one that ends with " 7 ", so that it
    // takes the memory of two.
    void fieldPastTwoGiB()
    {
        constexpr qsizetype kChunk = 64 * 1024, kChunks = 32768, kTotal = (kChunks + 1) * kChunk;
        const int fds[2] = {memfd_create("blanks", 0), memfd_create("last", 0)};
        QByteArray chunk(kChunk, ' ');
        QCOMPARE(::write(fds[0], chunk.constData(), kChunk), kChunk);
        QCOMPARE(::write(fds[1], chunk.replace(kChunk - 3, 3, " 7 ").constData(), kChunk), kChunk);
        auto* base = static_cast<char*>(
            mmap(nullptr, kTotal, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
        for (qsizetype k = 0; k <= kChunks; ++k) {
            const int fd = fds[k == kChunks];
            QVERIFY(mmap(base + k * kChunk, kChunk, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0) !=
                    MAP_FAILED);
        }
        ::close(fds[0]);
        ::close(fds[1]); // the mappings keep the pages
        FieldReader reader(QByteArray::fromRawData(base, kTotal));
        int error = 0;
        QCOMPARE(reader.readInt16(&error), std::optional(7));
        QVERIFY(reader.atEnd());
        QVERIFY(!reader.readInt16(&error));
        QCOMPARE(error, err::kInputPastEnd);
        munmap(base, kTotal);
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
        QCOMPARE(kaldor::testing::readFile(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"tank.idr"});
    }
};

QTEST_GUILESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
