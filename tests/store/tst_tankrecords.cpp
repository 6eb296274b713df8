// Tank records: the word codec, the decoder's page-gap rule and its refusals, curves, the
// record writer, and the grid's cell texts.

#include "store/celltexts.h"
#include "store/messages.h"
#include "store/tankrecords.h"
#include "testimages.h"

#include <QtTest>

using namespace kaldor;
using kaldor::testing::curveWords;
using kaldor::testing::PlacedTank;
using kaldor::testing::placeTanks;

Q_DECLARE_METATYPE(kaldor::IndicatorImage)
Q_DECLARE_METATYPE(kaldor::TankRecord)
Q_DECLARE_METATYPE(QVector<kaldor::CellRow>)

namespace {

TankRecord record(int number, int start, QVector<int> words)
{
    return {number, start, std::move(words)};
}

QVector<int> repeated(int count, int word)
{
    return QVector<int>(count, word);
}

} // namespace

class TestTankRecords : public QObject {
    Q_OBJECT
private slots:
    void wordCodec_data()
    {
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("word");
        QTest::addColumn<bool>("canonical"); // encodeWord gives these bytes back
        QTest::newRow("128,0 is 0") << 128 << 0 << 0 << false;
        QTest::newRow("129,44 is -300") << 129 << 44 << -300 << true;
        QTest::newRow("1,44 is 300") << 1 << 44 << 300 << true;
        QTest::newRow("end marker") << 127 << 255 << 32767 << true;
        QTest::newRow("most negative") << 255 << 255 << -32767 << true;
    }
    void wordCodec()
    {
        QFETCH(int, high);
        QFETCH(int, low);
        QFETCH(int, word);
        QFETCH(bool, canonical);
        QCOMPARE(decodeWord(std::uint8_t(high), std::uint8_t(low)), word);
        if (canonical)
            QCOMPARE(encodeWord(word),
                     std::optional(std::pair<std::uint8_t, std::uint8_t>(high, low)));
    }

    void decode_data()
    {
        QTest::addColumn<IndicatorImage>("image");
        QTest::addColumn<int>("error");
        QTest::addColumn<QVector<TankRecord>>("expected");
        using Tanks = QVector<PlacedTank>;
        using Records = QVector<TankRecord>;

        QTest::newRow("byte 16 is 0") << placeTanks({}, 512, 512) << 0 << Records{};
        IndicatorImage shortImage;
        shortImage.set(layout::kTankCountAddress, 3);
        shortImage.setLength(16);
        QTest::newRow("image without a tank count") << shortImage << 0 << Records{};

        // One tank: read up to E across 8192, end markers and all.
        QVector<int> long1 = repeated(100, 7);
        long1[0] = long1[2] = layout::kEndMarkerWord;
        QTest::newRow("one tank past a page")
            << placeTanks({{4, 8000, long1}}, 8200, 8200) << 0 << Records{record(4, 8000, long1)};

        const QVector<int> a = curveWords(1000, 0, 4), b = curveWords(500, -20, 2);
        QTest::newRow("ends at 8192, next starts there")
            << placeTanks({{1, 8172, a}, {2, 8192, b}}, 8204, 8208) << 0
            << Records{record(1, 8172, a), record(2, 8192, b)};
        QTest::newRow("full scale 32767, successor in another page")
            << placeTanks({{1, 8000, curveWords(32767, 0, 3)}, {2, 8192, b}}, 8204, 8208) << 0
            << Records{record(1, 8000, {32767, 0}), record(2, 8192, b)};
        QTest::newRow("no word 32767, successor in another page")
            << placeTanks({{1, 8100, {1000, 0, 0, 0, 5000, 6000}}, {2, 8192, b}}, 8204, 8208) << 0
            << Records{record(1, 8100, {1000}), record(2, 8192, b)};
        const QVector<int> crossing = curveWords(2000, 10, 25); // 52 words: 16300 .. 16403
        QTest::newRow("last record crossing 16384")
            << placeTanks({{1, 512, a}, {2, 16300, crossing}}, 16404, 16408) << 0
            << Records{record(1, 512, a), record(2, 16300, crossing)};
        QTest::newRow("202 words") << placeTanks({{9, 512, repeated(202, 1)}}, 916, 920) << 0
                                   << Records{record(9, 512, repeated(202, 1))};
        Tanks many(254, PlacedTank{5, 1000, {}});
        Records manyRecords(254, record(5, 1000, {}));
        QTest::newRow("254 entries") << placeTanks(many, 1000, 1000) << 0 << manyRecords;

        many.append(PlacedTank{5, 1000, {}});
        QTest::newRow("255 entries") << placeTanks(many, 1000, 1000) << 9 << Records{};
        QTest::newRow("203 words")
            << placeTanks({{9, 512, repeated(203, 1)}}, 918, 920) << 9 << Records{};
        IndicatorImage badEnd = placeTanks({{1, 512, a}}, 532, 536);
        badEnd.set(layout::kEndPointerAddress, 128);
        QTest::newRow("end pointer high byte 128") << badEnd << 6 << Records{};
        IndicatorImage badStart = placeTanks({{1, 512, a}, {2, 532, b}}, 544, 544);
        badStart.set(layout::kDirectoryStart + layout::kDirectoryEntrySize + 1, 200);
        QTest::newRow("start high byte 200") << badStart << 6 << Records{};
        QTest::newRow("end past the image")
            << placeTanks({{1, 512, a}}, 600, 592) << 9 << Records{};
        QTest::newRow("start past the image")
            << placeTanks({{1, 30000, {}}}, 30010, 1024) << 9 << Records{};
        QTest::newRow("page scan past the image")
            << placeTanks({{1, 512, {1000, 0, 5}}, {2, 30000, {}}}, 30010, 1024) << 9 << Records{};
        // The marker at 8190 takes the word at 8192 too, which the counted image does not hold.
        QTest::newRow("marker's last word past the image")
            << placeTanks({{1, 8168, a}, {2, 8188, {1000, 32767}}}, 8200, 8192) << 9 << Records{};
        QTest::newRow("directory past the image")
            << placeTanks({{1, 512, a}, {2, 532, b}, {3, 544, b}}, 556, 24) << 9 << Records{};
    }
    void decode()
    {
        QFETCH(IndicatorImage, image);
        QFETCH(int, error);
        QFETCH(QVector<TankRecord>, expected);
        const DecodeResult result = decodeTankRecords(image);
        QCOMPARE(result.errorNumber, error);
        QCOMPARE(result.detail.isEmpty(), error == 0);
        QCOMPARE(result.records, expected); // number, start and words of each
    }

    void curve_data()
    {
        QTest::addColumn<QVector<int>>("words");
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<QVector<CellRow>>("rows");
        const QVector<int> threePoints{1000, 100, 0, 0, 16385, 16385, 32767, 32767};
        QTest::newRow("offset layout")
            << threePoints << true
            << QVector<CellRow>{{"-100", " 0"}, {"400", " 50.00"}, {"900", "99.99"}};
        // Read in the other layout, the last percent word has no value word left.
        QTest::newRow("other layout, shifted")
            << threePoints << false
            << QVector<CellRow>{
                   {"-100", " .3051"}, {"400", " 0"}, {"900", " 50.00"}, {"", "99.99"}};
        QTest::newRow("full scale only") << QVector<int>{1000} << true << QVector<CellRow>{};
        QTest::newRow("percent word without value")
            << QVector<int>{1000, 100, 0} << true << QVector<CellRow>{{"", " 0"}};
    }
    void curve()
    {
        QFETCH(QVector<int>, words);
        QFETCH(bool, offsetMode);
        QFETCH(QVector<CellRow>, rows);
        const TankRecord rec = record(3, 512, words);
        QCOMPARE(curveCellRows(rec, offsetMode), rows);
        const TankCurve curve = curveFromRecord(rec, offsetMode);
        QCOMPARE(curve.points.size(), rows.size());
        QCOMPARE(curve.offset.has_value(), offsetMode && words.size() >= 2);
        for (int k = 0; k < rows.size(); ++k)
            QCOMPARE(curve.points[k].value.has_value(), !rows[k].value.isEmpty());
    }

    void writer_data()
    {
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("negative offset") << true << -300
                                         << QByteArray::fromHex("03e8812c00000000"
                                                                "7fff7fff");
        QTest::newRow("other layout") << false << 0
                                      << QByteArray::fromHex("03e800000000"
                                                             "7fff7fff");
    }
    void writer()
    {
        QFETCH(bool, offsetMode);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        const QVector<PointWords> points{{0, 0}, {32767, 32767}};
        const auto encoded = encodeTankRecord(1000, offset, points, offsetMode);
        QCOMPARE(encoded, std::optional(bytes));
        QCOMPARE(recordLength(int(points.size()), offsetMode), bytes.size());
        // Back through an image: the decoder gives the same words.
        IndicatorImage image = placeTanks({{7, 512, {}}}, 512 + int(bytes.size()), 528);
        for (int i = 0; i < bytes.size(); ++i)
            image.set(512 + i, std::uint8_t(bytes[i]));
        const DecodeResult result = decodeTankRecords(image);
        QVERIFY(result.ok());
        const TankCurve curve = curveFromRecord(result.records.value(0), offsetMode);
        QCOMPARE(curve.fullScale, 1000);
        QCOMPARE(curve.points.size(), points.size());
        QCOMPARE(curve.points.last().valueWord, std::optional(32767));
        QVERIFY(!encodeTankRecord(1000, 0, {{0, 40000}}, offsetMode));
    }

    void cellTexts_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<bool>("percent");
        QTest::addColumn<QString>("text");
        QTest::newRow("word 32767") << percentFromWord(32767) << true << "99.99";
        QTest::newRow("word 32766") << percentFromWord(32766) << true << " 99.99";
        QTest::newRow("word 16385") << percentFromWord(16385) << true << " 50.00";
        QTest::newRow("word 1") << percentFromWord(1) << true
                                << " 3.051"; // Str turns to E notation
        QTest::newRow("word -16385") << percentFromWord(-16385) << true << "-50.00";
        QTest::newRow("negative half") << -2.5 << false << "-3";
        QTest::newRow("single precision rounds up") << 0.49999999 << false << "1";
    }
    void cellTexts()
    {
        QFETCH(double, number);
        QFETCH(bool, percent);
        QFETCH(QString, text);
        QCOMPARE(percent ? percentCellText(number) : valueCellText(number), text);
    }
};

QTEST_GUILESS_MAIN(TestTankRecords)
#include "tst_tankrecords.moc"
