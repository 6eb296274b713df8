// Rows pasted from a spreadsheet into the curve grid: what is taken, where it goes, and the one
// message that names the first row refused; and copied rows pasted back.

#include "curvetables.h"
#include "editor/gridpaste.h"

#include <QtTest>

using namespace kaldor;
using namespace kaldor::testing;

namespace
{

const Rows kBefore{{"1", "0"}, {"2", "50"}, {"3", "99.99"}};

} // namespace

class TestGridPaste : public QObject
{
    Q_OBJECT
private slots:
    void paste_data();
    void paste();
    void copyThenPaste();
};

void TestGridPaste::paste_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("offsetCapable");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Rows>("after"); // empty: refused, the grid as before
    QTest::addColumn<QString>("message");

    QTest::newRow("two rows over rows 2 and 3, blanks and CR LF dropped")
        << 2 << true << "20\t 40.5\r\n-300 \t99.99\r\n"
        << Rows{{"1", "0"}, {"20", "40.5"}, {"-300", "99.99"}} << "";
    QTest::newRow("an empty line empties its row, a lone VALUE leaves the % empty")
        << 1 << true << "\n7" << Rows{{"", ""}, {"7", ""}, {"3", "99.99"}} << "";
    QTest::newRow("below the last point")
        << 4 << true << "4\t.5\n"
        << Rows{{"1", "0"}, {"2", "50"}, {"3", "99.99"}, {"4", ".5"}} << "";
    QTest::newRow("letters in a VALUE")
        << 1 << true << "5\t0\n12a\t10" << Rows{}
        << "Pasted row 2 not accepted: VALUE \"12a\" must be up to 4 digits, or a minus and 3.";
    QTest::newRow("five digits") << 1 << true << "12345\t0" << Rows{}
                                 << "Pasted row 1 not accepted: VALUE \"12345\" must be up to 4 "
                                    "digits, or a minus and 3.";
    QTest::newRow("a minus without the offset")
        << 1 << false << "-5\t0" << Rows{}
        << "Pasted row 1 not accepted: VALUE \"-5\" must be up to 4 digits.";
    QTest::newRow("a lone minus") << 1 << true << "-\t0" << Rows{}
                                  << "Pasted row 1 not accepted: VALUE \"-\" must be up to 4 "
                                     "digits, or a minus and 3.";
    QTest::newRow("percentage above 99.99")
        << 1 << true << "1\t0\n2\t100" << Rows{}
        << "Pasted row 2 not accepted: % \"100\" must be a number from 0 to 99.99 of at most 5 "
           "characters.";
    QTest::newRow("percentage of six characters")
        << 1 << true << "1\t1.2345" << Rows{}
        << "Pasted row 1 not accepted: % \"1.2345\" must be a number from 0 to 99.99 of at most 5 "
           "characters.";
    QTest::newRow("two stops") << 1 << true << "1\t1.2.3" << Rows{}
                               << "Pasted row 1 not accepted: % \"1.2.3\" must be a number from 0 "
                                  "to 99.99 of at most 5 characters.";
    QTest::newRow("three columns")
        << 1 << true << "1\t0\n2\t50\tx" << Rows{}
        << "Pasted row 2 not accepted: it has 3 columns; paste VALUE and % only.";
    QTest::newRow("running past row 100") << 99 << true << "1\t0\n2\t50\n3\t99.99" << Rows{}
                                          << "Pasted row 3 not accepted: the grid ends at row 100.";
}

void TestGridPaste::paste()
{
    QFETCH(int, row);
    QFETCH(bool, offsetCapable);
    QFETCH(QString, text);
    QFETCH(Rows, after);
    QFETCH(QString, message);

    CurveTable table = tableOf(kBefore);
    const GridPaste pasted = pasteIntoGrid(table, row, text, offsetCapable);
    QCOMPARE(pasted.ok, message.isEmpty());
    QCOMPARE(pasted.messages, message.isEmpty() ? Messages{} : Messages{refusal(message)});
    QCOMPARE(rowsOf(table), after.isEmpty() ? kBefore : after);
}

// Copied rows, the blanks the grid shows before numbers included, paste back as they were
// apart from those blanks.
void TestGridPaste::copyThenPaste()
{
    const CurveTable source = tableOf({{"-100", " 0"}, {"400", " 50.00"}, {"900", "99.99"}});
    const QString copied = copyGridRows(source, 2, 3);
    QCOMPARE(copied, QStringLiteral("400\t50.00\n900\t99.99\n"));
    CurveTable target;
    QVERIFY(pasteIntoGrid(target, 5, copied, true).ok);
    QCOMPARE(target.filledRows(), 6);
    QCOMPARE((Rows{{target.value(5), target.percent(5)}, {target.value(6), target.percent(6)}}),
             (Rows{{"400", "50.00"}, {"900", "99.99"}}));
}

QTEST_APPLESS_MAIN(TestGridPaste)
#include "tst_gridpaste.moc"
