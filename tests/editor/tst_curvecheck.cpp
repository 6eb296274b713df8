// The curve check and the encoding: compaction, ordering, every message in its order, and the
// exact bytes the meter receives for a curve.

#include "curvetables.h"
#include "store/curvecheck.h"
#include "tests/support/testfiles.h"

#include <QTest>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

QStringList texts(const Messages& messages)
{
    QStringList out;
    for (const Message& m : messages)
        out.append(m.text);
    return out;
}

} // namespace

class TestCurveCheck : public QObject {
    Q_OBJECT
private slots:
    void validate_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("pointCount"); // -1: not counted
        QTest::addColumn<Rows>("after");     // empty: the rows as given
        QTest::addColumn<int>("currentRow"); // in the % column

        const Rows three = threePointRows();
        const auto row = [](const char* name, const Rows& rows, bool valid,
                            const QStringList& messages, int points, const Rows& after = {},
                            int currentRow = 1) {
            QTest::newRow(name) << rows << valid << messages << points << after << currentRow;
        };
        const QString sorted = QStringLiteral("Data was out of order. It has been sorted");
        row("ordered curve", three, true, {}, 3);
        row("single point at 0", {{"5", "0"}}, false, {"Last % value must be 99.99"}, 1);
        row("out of order", {{"1100", "99.99"}, {"100", "0"}, {"600", "50"}}, true, {sorted}, 3,
            three);
        row("rows without value or percentage dropped",
            {{"100", "0"}, {"", "20"}, {"300", ""}, {"600", "50"}, {"1100", "99.99"}}, true, {}, 3,
            three);
        row("50 and 50.00 differ", {{"0", "0"}, {"1", "50"}, {"2", "50.00"}, {"3", "99.99"}}, true,
            {}, 4);
        row("equal texts", {{"0", "0"}, {"1", "50"}, {"2", "50"}, {"3", "99.99"}}, false,
            {"Same data values in % column."}, -1, {}, 3);
        row("level curve", {{"5", "0"}, {"5", "99.99"}}, true, {}, 2);
        row("first not zero", {{"0", "5"}, {"9", "99.99"}}, false, {"First % value must be zero."},
            -1);
        row("falling curve, sorted first", {{"50", "99.99"}, {"90", "0"}}, false,
            {sorted, "Curve Entered must have positive slope"}, 2, {{"90", "0"}, {"50", "99.99"}});
        row("empty grid", {}, false, {"No data in grid."}, -1);
        // Above 99.99 every point would be scaled down by the last percentage.
        for (const char* last : {"100", "999.9", "1E400"}) {
            row(qPrintable(QStringLiteral("last at %1").arg(last)),
                {{"100", "0"}, {"600", "50"}, {"1100", last}}, false,
                {"Last % value must be 99.99"}, 3);
        }

        Rows full;
        for (int i = 0; i < 100; ++i)
            full.append(
                {QString::number(i), i == 99 ? QStringLiteral("99.99") : QString::number(i)});
        row("100 filled rows", full, true, {}, 100);
    }

    void validate()
    {
        QFETCH(Rows, rows);
        QFETCH(bool, valid);
        QFETCH(QStringList, messages);
        QFETCH(int, pointCount);
        QFETCH(Rows, after);
        QFETCH(int, currentRow);
        CurveTable t = tableOf(rows);
        const CurveCheck check = validateCurve(t);
        QCOMPARE(check.curveValid, valid);
        QCOMPARE(texts(check.messages), messages);
        QCOMPARE(check.pointCount.value_or(-1), pointCount);
        QCOMPARE(rowsOf(t), after.isEmpty() ? rows : after);
        QCOMPARE(check.currentCell, (GridCell{currentRow, CurveTable::kPercentColumn}));
    }

    void viewerFormSkipsLastChecks()
    {
        // The viewer draws a curve that ends at 95 % and falls.
        CurveTable t = tableOf({{"90", "95"}, {"50", "0"}});
        const CurveCheck check = validateCurve(t, CheckForm::Viewer);
        QVERIFY(check.curveValid);
        QCOMPARE(texts(check.messages), QStringList{"Data was out of order. It has been sorted"});
        QCOMPARE(check.pointCount, std::optional(2));
    }

    void encode_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<QString>("message"); // empty: encoded
        QTest::addColumn<QByteArray>("block");

        const Rows three = threePointRows();
        const auto row = [](const char* name, const Rows& rows, bool offsetMode, const char* hex) {
            QTest::newRow(name) << rows << offsetMode << QString() << QByteArray::fromHex(hex);
        };
        for (const bool offset : {true, false})
            QTest::newRow(offset ? "three points, offset" : "three points, no offset")
                << three << offset << QString() << threePointBlock(offset);
        row("-50 to 950", {{"-50", "0"}, {"950", "99.99"}}, true, "03e8 0032 00000000 7fff7fff");
        // A fractional full scale is rounded before it is split: 255.7 is 256, bytes 1 and 0.
        row("fractional full scale", {{"0", "0"}, {"255.7", "99.99"}}, false,
            "0100 00000000 7fff7fff");
        const auto refused = [](const char* name, const Rows& rows, bool offsetMode,
                                const char* message) {
            QTest::newRow(name) << rows << offsetMode << QString(message) << QByteArray();
        };
        const char* largest = "Last value in grid must be largest";
        refused("middle above last", {{"0", "0"}, {"2000", "50"}, {"1000", "99.99"}}, true,
                largest);
        refused("full scale 0, all zero", {{"0", "0"}, {"0", "99.99"}}, false, largest);
        refused("full scale 0", {{"5", "0"}, {"0", "99.99"}}, false, "Error:  11");
        refused("value below the first", {{"100", "0"}, {"50", "50"}, {"900", "99.99"}}, true,
                "Error:  5");
        refused("full scale 65536", {{"0", "0"}, {"65536", "99.99"}}, false, "Error:  5");
        refused("last below 99.99", {{"0", "0"}, {"10", "95"}}, true, "Last % value must be 99.99");
        refused("last above 99.99", {{"0", "0"}, {"10", "100"}}, true,
                "Last % value must be 99.99");
        // Words far beyond any int are refused like the others, not wrapped into a byte pair.
        refused("percentage far below 0", {{"0", "0"}, {"1", "-1E30"}, {"9", "99.99"}}, false,
                "Error:  5");
        refused("first value far below 0", {{"-1E30", "0"}, {"9", "99.99"}}, true, "Error:  5");
        // A number beyond any double is refused as 1E300 is, never read as 0.
        for (const char* huge : {"1E300", "1E400", "-1E400"}) {
            refused(qPrintable(QStringLiteral("middle value %1").arg(huge)),
                    {{"0", "0"}, {huge, "50"}, {"9", "99.99"}}, true,
                    huge[0] == '-' ? "Error:  5" : largest);
        }
    }

    void encode()
    {
        QFETCH(Rows, rows);
        QFETCH(bool, offsetMode);
        QFETCH(QString, message);
        const CurveTable t = tableOf(rows);
        const EncodedCurve e = encodeCurve(t, int(rows.size()), offsetMode);
        QCOMPARE(e.ok, message.isEmpty());
        if (!e.ok) {
            QCOMPARE(texts(e.messages), QStringList{message});
            return;
        }
        QVERIFY(e.messages.isEmpty());
        QTEST(e.block(offsetMode), "block");
    }
};

QTEST_GUILESS_MAIN(TestCurveCheck)
#include "tst_curvecheck.moc"
