// The image build: header, directory, records and the page rule, refusals that leave the
// window's image untouched, and the round trip through a constructed file and the decoder.

#include "construct/indicatorbuilder.h"
#include "store/celltexts.h"
#include "store/indicatorfile.h"
#include "store/tankrecords.h"
#include "tests/support/testfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

TankSource tank(int number, int fullScale, int offset, int points)
{
    TankSource t;
    t.fileName = QStringLiteral("t%1.tnk").arg(number);
    t.tankNumber = number;
    t.fullScale = fullScale;
    t.offset = offset;
    // Percentages 0 .. 99.99 in even steps, values rising from -offset to fullScale - offset.
    for (int k = 0; k < points; ++k) {
        const double fraction = points == 1 ? 1.0 : double(k) / (points - 1);
        const int percent100 = int(fraction * 9999);
        t.points.append({QString::number(int(fraction * fullScale) - offset),
                         QString::number(percent100 / 100.0, 'f', 2)});
    }
    return t;
}

QList<int> bytesAt(const IndicatorImage& image, int from, int count)
{
    QList<int> out;
    for (int i = 0; i < count; ++i)
        out.append(image.at(from + i));
    return out;
}

} // namespace

class TestIndicatorBuilder : public QObject {
    Q_OBJECT
private slots:
    void workedExample()
    {
        TankSource t;
        t.fileName = QStringLiteral("five.tnk");
        t.tankNumber = 5;
        t.fullScale = 1000;
        t.points = {{QStringLiteral("0"), QStringLiteral("0")},
                    {QStringLiteral("1000"), QStringLiteral("99.99")}};
        BuildState state;
        const BuildResult r = buildFromSources({t}, true, state);
        QVERIFY(r.ok);
        QCOMPARE(r.messages, Messages{info(QStringLiteral("Indicator file built."))});
        QCOMPARE(bytesAt(state.image, 0, 13),
                 (QList<int>{61, 180, 200, 132, 150, 150, 20, 80, 7, 117, 1, 126, 0}));
        QCOMPARE(bytesAt(state.image, 13, 10), (QList<int>{1, 2, 12, 1, 1, 2, 0, 5, 2, 0}));
        QCOMPARE(bytesAt(state.image, 512, 12),
                 (QList<int>{3, 232, 0, 0, 0, 0, 0, 0, 127, 255, 127, 255}));
        QCOMPARE(state.totalLength, 528);
        QVERIFY(state.built);

        // The not-offset layout drops the offset word: 2 bytes shorter, points 2 bytes earlier.
        BuildState plain;
        QVERIFY(buildFromSources({t}, false, plain).ok);
        QCOMPARE(bytesAt(plain.image, 14, 2), (QList<int>{2, 10}));
        QCOMPARE(bytesAt(plain.image, 512, 10),
                 (QList<int>{3, 232, 0, 0, 0, 0, 127, 255, 127, 255}));
    }

    void pageRule_data()
    {
        QTest::addColumn<QList<int>>("pointCounts");
        QTest::addColumn<int>("checkedTank"); // index of the tank whose start is checked
        QTest::addColumn<int>("expectedStart");
        QTest::addColumn<int>("pageMark");
        QTest::addColumn<int>("endPointer");

        // 19 records of 404 bytes end at 8188; the 20th would straddle 8192 and moves there.
        QTest::newRow("straddles 8192") << QList<int>(20, 100) << 19 << 8192 << 2 << 8192 + 404;
        // 20 records of 384 bytes end exactly at 8192: the next starts there, the mark stays 1.
        QTest::newRow("ends exactly at 8192")
            << QList<int>(21, 95) << 20 << 8192 << 1 << 8192 + 384;
        // 19 before the gap, then 20 more from 8192 reach 16272; the 40th would cross 16384.
        QTest::newRow("crosses 16384") << QList<int>(40, 100) << 39 << 16384 << 3 << 16384 + 404;
        // The most tanks an indicator holds: their directory ends where the records begin.
        QTest::newRow("164 tanks")
            << QList<int>(164, 2) << 163 << 512 + 163 * 12 << 1 << 512 + 164 * 12;
    }

    void pageRule()
    {
        QFETCH(QList<int>, pointCounts);
        QFETCH(int, checkedTank);
        QFETCH(int, expectedStart);
        QFETCH(int, pageMark);
        QFETCH(int, endPointer);
        QList<TankSource> tanks;
        for (int i = 0; i < pointCounts.size(); ++i)
            tanks.append(tank(i + 1, 2000 + i, (i % 3) * 10, pointCounts[i]));
        BuildState state;
        QVERIFY(buildFromSources(tanks, true, state).ok);
        const int entry = 20 + 3 * checkedTank;
        QCOMPARE(state.image.at(entry + 1) * 256 + state.image.at(entry + 2), expectedStart);
        QCOMPARE(int(state.image.at(13)), pageMark);
        QCOMPARE(state.image.at(14) * 256 + state.image.at(15), endPointer);

        // The decoder reads every record back, page gaps and all: whole values come back exactly,
        // the last point shows 99.99, the first " 0".
        const DecodeResult decoded = decodeTankRecords(state.image);
        QVERIFY2(decoded.ok(), qPrintable(decoded.detail));
        QCOMPARE(decoded.records.size(), tanks.size());
        for (int i = 0; i < tanks.size(); ++i) {
            QCOMPARE(decoded.records[i].tankNumber, tanks[i].tankNumber);
            QCOMPARE(decoded.records[i].words.size(), 2 * pointCounts[i] + 2);
            const QVector<CellRow> rows = curveCellRows(decoded.records[i], true);
            QCOMPARE(rows.first(),
                     (CellRow{tanks[i].points.first().valueText, QStringLiteral(" 0")}));
            QCOMPARE(rows.last(),
                     (CellRow{tanks[i].points.last().valueText, QStringLiteral("99.99")}));
        }
    }

    void refusalsKeepState_data()
    {
        QTest::addColumn<QList<TankSource>>("tanks");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("empty list")
            << QList<TankSource>{} << QStringLiteral("No files are selected");
        QTest::newRow("165 tanks")
            << QList<TankSource>(165, tank(1, 1000, 0, 1)) << QStringLiteral("Too many tanks");
        // 62 records of 404 bytes run past 25000 even before the page gaps.
        QTest::newRow("past 25000") << QList<TankSource>(62, tank(1, 1000, 0, 100))
                                    << QStringLiteral("The tanks do not fit");
        TankSource above = tank(2, 1000, 0, 2);
        above.points[0].valueText = QStringLiteral("1500");
        QTest::newRow("value above full scale")
            << QList<TankSource>{tank(1, 1000, 0, 3), above}
            << QStringLiteral("Tank file t2.tnk cannot be used: point 1");
        // The file's text is quoted with its control characters as their codes.
        TankSource escaped = tank(5, 1000, 0, 2);
        escaped.points[0].valueText = QStringLiteral("1500\x1b]0;x\x07");
        QTest::newRow("an escape sequence in a value")
            << QList<TankSource>{escaped}
            << QStringLiteral(
                   "Tank file t5.tnk cannot be used: point 1 (value 1500\\x1B]0;x\\x07,");
        // A number beyond any double is refused as one beyond the full scale, never read as 0.
        TankSource huge = tank(4, 1000, 0, 3);
        huge.points[1].valueText = QStringLiteral("1E400");
        QTest::newRow("value beyond any double")
            << QList<TankSource>{huge}
            << QStringLiteral("Tank file t4.tnk cannot be used: point 2");
        TankSource zero = tank(3, 1000, 0, 2);
        zero.fullScale = 0;
        QTest::newRow("full scale 0")
            << QList<TankSource>{zero} << QStringLiteral("Tank file t3.tnk cannot be used");
    }

    void refusalsKeepState()
    {
        QFETCH(QList<TankSource>, tanks);
        QFETCH(QString, messageStart);
        BuildState state;
        QVERIFY(buildFromSources({tank(9, 500, 0, 4)}, true, state).ok);
        const BuildState before = state;
        const BuildResult r = buildFromSources(tanks, true, state);
        QVERIFY(!r.ok);
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.messages[0].kind, MessageKind::Refusal);
        QVERIFY2(r.messages[0].text.startsWith(messageStart), qPrintable(r.messages[0].text));
        QVERIFY(state.image == before.image);
        QCOMPARE(state.totalLength, before.totalLength);
        QCOMPARE(state.built, before.built);
    }

    void secondBuildKeepsOldBytes()
    {
        BuildState state;
        QVERIFY(buildFromSources({tank(1, 1000, 0, 10), tank(2, 1000, 0, 10)}, true, state).ok);
        const int oldSecondStart = 512 + 44;
        const QList<int> oldTail = bytesAt(state.image, oldSecondStart, 44);
        QVERIFY(buildFromSources({tank(3, 1000, 0, 10)}, true, state).ok);
        QCOMPARE(state.totalLength, 560);
        QCOMPARE(bytesAt(state.image, oldSecondStart, 44), oldTail);
        QCOMPARE(int(state.image.at(16)), 1);
    }

    void readsTankFiles_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<QString>("errorPart"); // empty: the file is read
        const auto row = [](const char* name, const char* content, bool offsetMode,
                            const char* errorPart) {
            QTest::newRow(name) << QByteArray(content) << offsetMode << QString(errorPart);
        };
        QTest::newRow("editor's file") << threePointTankFile(true) << true << QString();
        QTest::newRow("other layout") << threePointTankFile(false) << false << QString();
        row("tank 255", "255\r\n 1000 \r\n 0 \r\n 2 \r\n0, 0,1000, 99.99,", true, "");
        row("missing", "", true, "a.tnk cannot be read: file not found");
        row("tank 0", "0\r\n 1000 \r\n 0 \r\n 1 \r\n1, 99.99,", true, "tank number");
        row("101 points", "5\r\n 1000 \r\n 0 \r\n 101 \r\n", true, "point count");
    }

    void readsTankFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, offsetMode);
        QFETCH(QString, errorPart);
        QTemporaryDir dir;
        if (!content.isEmpty())
            QVERIFY(writeFileAtomically(dir.filePath(QStringLiteral("a.tnk")), content).ok);
        BuildState state;
        const BuildResult r =
            buildIndicatorImage({QStringLiteral("a.tnk")}, QDir(dir.path()), offsetMode, state);
        if (errorPart.isEmpty()) {
            QVERIFY2(r.ok, qPrintable(r.messages.value(0).text));
            QCOMPARE(int(state.image.at(20)), content.left(content.indexOf('\r')).toInt());
            return;
        }
        QVERIFY(!r.ok);
        QVERIFY2(r.messages.value(0).text.contains(errorPart),
                 qPrintable(r.messages.value(0).text));
        QVERIFY(!state.built);
    }
};

QTEST_GUILESS_MAIN(TestIndicatorBuilder)
#include "tst_indicatorbuilder.moc"
