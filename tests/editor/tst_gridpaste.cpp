// Rows pasted from a spreadsheet into the curve grid: what is taken, where it goes, a header
// row left out, and the one message that names the first row refused; and copied rows pasted
// back.

#include "curvetables.h"
#include "editor/gridpaste.h"

#include <QtTest>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

const Rows kBefore{{"1", "0"}, {"2", "50"}, {"3", "99.99"}};

} // namespace

class TestGridPaste : public QObject {
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

    const auto row = [](const char* name, int row, bool offset, const char* text, const Rows& after,
                        const QString& message = {}) {
        QTest::newRow(name) << row << offset << QString(text) << after << message;
    };
    // A refusal of pasted row n for the reason given.
    const auto refused = [](int n, const QString& why) {
        return QStringLiteral("Pasted row %1 not accepted: ").arg(n) + why;
    };
    const QString digits = QStringLiteral("\" must be up to 4 digits, or a minus and 3.");
    const QString percent = QStringLiteral("\" must be a number from 0 to 99.99 of at most 5 "
                                           "characters.");
    row("two rows over rows 2 and 3, blanks and CR LF dropped", 2, true,
        "20\t 40.5\r\n-300 \t99.99\r\n", {{"1", "0"}, {"20", "40.5"}, {"-300", "99.99"}});
    row("an empty line empties its row, a lone VALUE leaves the % empty", 1, true, "\n7",
        {{"", ""}, {"7", ""}, {"3", "99.99"}});
    row("below the last point", 4, true, "4\t.5\n",
        {{"1", "0"}, {"2", "50"}, {"3", "99.99"}, {"4", ".5"}});
    // A spreadsheet's header row: the first row, with no number in it, is not pasted.
    row("a header row is skipped", 2, true, "VALUE\t%\r\n20\t40.5\r\n",
        {{"1", "0"}, {"20", "40.5"}, {"3", "99.99"}});
    row("a header of words and units", 1, true, "Volume m3\tLevel (%)\n7\t0\n8\t50\n",
        {{"7", "0"}, {"8", "50"}, {"3", "99.99"}});
    row("a header then a bad row", 1, true, "VALUE\t%\n7\tx", {}, refused(2, "% \"x" + percent));
    row("only the first row may be a header", 1, true, "7\t0\nVALUE\t%", {},
        refused(2, "VALUE \"VALUE" + digits));
    row("a control character is quoted escaped", 1, true, "\x1b[2J\t0", {},
        refused(1, "VALUE \"\\x1B[2J" + digits));
    row("letters in a VALUE", 1, true, "5\t0\n12a\t10", {}, refused(2, "VALUE \"12a" + digits));
    row("five digits", 1, true, "12345\t0", {}, refused(1, "VALUE \"12345" + digits));
    row("a minus without the offset", 1, false, "-5\t0", {},
        refused(1, "VALUE \"-5\" must be up to 4 digits."));
    row("a lone minus", 1, true, "-\t0", {}, refused(1, "VALUE \"-" + digits));
    row("percentage above 99.99", 1, true, "1\t0\n2\t100", {}, refused(2, "% \"100" + percent));
    row("percentage of six characters", 1, true, "1\t1.2345", {},
        refused(1, "% \"1.2345" + percent));
    row("two stops", 1, true, "1\t1.2.3", {}, refused(1, "% \"1.2.3" + percent));
    row("three columns", 1, true, "1\t0\n2\t50\tx", {},
        refused(2, "it has 3 columns; paste VALUE and % only."));
    row("running past row 100", 99, true, "1\t0\n2\t50\n3\t99.99", {},
        refused(3, "the grid ends at row 100."));
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
