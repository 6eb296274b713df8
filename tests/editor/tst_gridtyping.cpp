// Typing into the curve grid: one table of keys, run on the curve alone and again as real key
// events and double-clicks on Grid1; then the grid's cell navigation and Clear.

#include "editor/curvegrid.h"
#include "editor/gridtyping.h"

#include <QSignalSpy>
#include <QtTest>

#include <tuple>

using namespace kaldor;

namespace {

// Cells as "row:column=text", for example "12:2=50.00"; only the cells that hold text.
CurveTable tableOf(const QStringList& cells)
{
    CurveTable t;
    for (const QString& cell : cells) {
        const qsizetype colon = cell.indexOf(':');
        const qsizetype equals = cell.indexOf('=');
        t.setText(cell.left(colon).toInt(), cell.mid(colon + 1, equals - colon - 1).toInt(),
                  cell.mid(equals + 1));
    }
    return t;
}

QStringList cellsOf(const CurveTable& t)
{
    QStringList cells;
    for (int r = 1; r <= CurveTable::kRows; ++r) {
        for (int c : {CurveTable::kValueColumn, CurveTable::kPercentColumn}) {
            if (!t.text(r, c).isEmpty())
                cells << QStringLiteral("%1:%2=%3").arg(r).arg(c).arg(t.text(r, c));
        }
    }
    return cells;
}

// VALUE cells of rows first .. last holding the numbers from, from + 1, ...
QStringList numberedValues(int first, int last, int from)
{
    QStringList cells;
    for (int r = first; r <= last; ++r)
        cells << QStringLiteral("%1:1=%2").arg(r).arg(from + r - first);
    return cells;
}

// Keys as typed characters; "{Ins}" and "{Del}" let those keys go, "{Dbl}" double-clicks.
QList<GridKey> keysOf(const QString& text)
{
    QList<GridKey> keys;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QStringView rest = QStringView(text).mid(i);
        if (rest.startsWith(u"{Ins}") || rest.startsWith(u"{Del}") || rest.startsWith(u"{Dbl}")) {
            keys << (rest.startsWith(u"{Ins}")   ? GridKey::insertReleased()
                     : rest.startsWith(u"{Del}") ? GridKey::deleteReleased()
                                                 : GridKey::doubleClick());
            i += 4;
        } else {
            keys << GridKey::typed(text[i].unicode());
        }
    }
    return keys;
}

} // namespace

class TestGridTyping : public QObject {
    Q_OBJECT
private slots:
    void typing_data()
    {
        QTest::addColumn<bool>("offset");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("top");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("endRow");
        QTest::addColumn<int>("endColumn");
        QTest::addColumn<int>("endTop");
        QTest::addColumn<int>("countChange");

        // The cursor at row:column with the top row shown, the keys, then the cells, the cursor,
        // the top row and the point count change afterwards.
        const auto row = [](const char* name, bool offset, const QStringList& before, GridCell at,
                            int top, const char* keys, const QStringList& after, GridCell end,
                            int endTop, int countChange = 0) {
            QTest::newRow(name) << offset << before << at.row << at.column << top << QString(keys)
                                << after << end.row << end.column << endTop << countChange;
        };
        const QStringList curve = numberedValues(1, 100, 1);
        row("a fifth VALUE digit replaces the percentage", false, {"1:2=50.00"}, {1, 1}, 1, "12345",
            {"1:1=1234", "1:2=5"}, {1, 2}, 1);
        row("two percentage digits get a stop, a full one carries to the next row", false, {},
            {1, 2}, 1, "99999", {"1:2=99.99", "2:1=9"}, {2, 1}, 1);
        row("the stop follows two characters, a shown blank included", false, {"4:2= 0"}, {4, 2}, 1,
            "5", {"4:2= 0.5"}, {4, 2}, 1);
        row("a carry to the 16th row below the top stays in view", false, {"15:2=12.34"}, {15, 2},
            1, "5", {"15:2=12.34", "16:1=5"}, {16, 1}, 1);
        row("a carry further down scrolls one row", false, {"16:2=12.34"}, {16, 2}, 1, "5",
            {"16:2=12.34", "17:1=5"}, {17, 1}, 2);
        row("row 100 keeps the carry and overwrites its own VALUE", false,
            {"100:1=12", "100:2=99.99"}, {100, 2}, 84, "7", {"100:1=7", "100:2=99.99"}, {100, 1},
            85);
        row("minus replaces a VALUE in the offset-capable mode", true, {"3:1=123"}, {3, 1}, 1,
            "-12", {"3:1=-12"}, {3, 1}, 1);
        row("minus in a VALUE without the offset mode", false, {"3:1=123"}, {3, 1}, 1, "-",
            {"3:1=123"}, {3, 1}, 1);
        row("minus in a percentage, offset-capable", true, {"3:2=12.3"}, {3, 2}, 1, "-",
            {"3:2=12.3"}, {3, 2}, 1);
        row("the full stop and other characters are ignored", true, {"2:1=7"}, {2, 1}, 1,
            ".a+ /:", {"2:1=7"}, {2, 1}, 1);
        row("a typed full stop is not the percentage's stop", false, {"2:2=12"}, {2, 2}, 1, ".5",
            {"2:2=12.5"}, {2, 2}, 1);
        row("backspace past an empty cell, then typing again", false, {"5:2=12.3"}, {5, 2}, 1,
            "\b\b\b\b\b1234", {"5:2=12.34"}, {5, 2}, 1);
        row("insert on row 1 of a full curve loses row 100", false, curve, {1, 2}, 1, "{Ins}",
            numberedValues(2, 100, 1), {1, 1}, 1, 1);
        row("delete in the middle appends an empty row", false, curve, {50, 2}, 40, "{Del}",
            numberedValues(1, 49, 1) + numberedValues(50, 99, 51), {50, 1}, 40, -1);
        row("insert below the last point still counts", false, {"1:1=5"}, {30, 1}, 20, "{Ins}",
            {"1:1=5"}, {30, 1}, 20, 1);
        row("double-click empties the current cell only", false, {"3:1=12", "3:2=50.00"}, {3, 2}, 1,
            "{Dbl}", {"3:1=12"}, {3, 2}, 1);
    }

    // The keys on the curve alone, then as key events on Grid1: the typed character, the Insert and
    // Delete keys pressed and let go, a double-click on the current cell. The grid shows 16 point
    // rows, as the scroll rule expects.
    void typing()
    {
        QFETCH(bool, offset);
        QFETCH(QStringList, before);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, top);
        QFETCH(QString, keys);

        CurveTable table = tableOf(before);
        GridStep end{{row, column}, top, 0};
        for (const GridKey& key : keysOf(keys)) {
            const GridStep step = typeIntoGrid(table, key, offset, end.cell, end.topRow);
            end = {step.cell, step.topRow, end.pointCountChange + step.pointCountChange};
        }

        CurveGrid grid;
        grid.resize(grid.sizeHint());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setOffsetCapable(offset);
        grid.setTable(tableOf(before));
        grid.setCurrentCell({row, column});
        grid.setTopRow(top);
        QCOMPARE(grid.topRow(), top);
        QSignalSpy counts(&grid, &CurveGrid::pointCountChanged);
        for (const GridKey& key : keysOf(keys)) {
            if (key.kind == GridKey::Kind::InsertReleased)
                QTest::keyClick(&grid, Qt::Key_Insert);
            else if (key.kind == GridKey::Kind::DeleteReleased)
                QTest::keyClick(&grid, Qt::Key_Delete);
            else if (key.kind == GridKey::Kind::DoubleClick)
                QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {},
                                   grid.visualRect(grid.currentIndex()).center());
            else if (key.code == kBackspaceCode)
                QTest::keyClick(&grid, Qt::Key_Backspace);
            else
                QTest::keyClicks(&grid, QString(QChar(key.code)));
        }
        int gridCountChange = 0;
        for (const QList<QVariant>& signal : counts)
            gridCountChange += signal.at(0).toInt();

        for (const auto& [cells, cell, topRow, countChange] :
             {std::tuple(cellsOf(table), end.cell, end.topRow, end.pointCountChange),
              std::tuple(cellsOf(grid.table()), grid.currentCell(), grid.topRow(),
                         gridCountChange)}) {
            QTEST(cells, "after");
            QTEST(cell.row, "endRow");
            QTEST(cell.column, "endColumn");
            QTEST(topRow, "endTop");
            QTEST(countChange, "countChange");
        }
    }

    // Arrow keys, Tab and the mouse move the current cell over the points, never onto the heading
    // row or the number column.
    void navigation_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("key"); // 0: a click on row 7's percentage
        QTest::addColumn<int>("endRow");
        QTest::addColumn<int>("endColumn");

        QTest::newRow("left from a VALUE") << 5 << 1 << int(Qt::Key_Left) << 5 << 1;
        QTest::newRow("up from row 1") << 1 << 2 << int(Qt::Key_Up) << 1 << 2;
        QTest::newRow("right to the percentage") << 1 << 1 << int(Qt::Key_Right) << 1 << 2;
        QTest::newRow("tab to the next row") << 1 << 2 << int(Qt::Key_Tab) << 2 << 1;
        QTest::newRow("down from row 100") << 100 << 1 << int(Qt::Key_Down) << 100 << 1;
        QTest::newRow("mouse") << 1 << 1 << 0 << 7 << 2;
    }

    void navigation()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, key);

        CurveGrid grid;
        grid.resize(grid.sizeHint());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setCurrentCell({row, column});
        if (key)
            QTest::keyClick(&grid, Qt::Key(key));
        else
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                              grid.visualRect(grid.model()->index(7, 2)).center());
        QTEST(grid.currentCell().row, "endRow");
        QTEST(grid.currentCell().column, "endColumn");
    }

    // Clear empties every cell and goes back to the first one without a point count change.
    void clear()
    {
        CurveGrid grid;
        QSignalSpy counts(&grid, &CurveGrid::pointCountChanged);
        grid.setTable(tableOf(numberedValues(1, 100, 1)));
        grid.setCurrentCell({60, 2});
        grid.clearCurve();
        QVERIFY(cellsOf(grid.table()).isEmpty());
        QCOMPARE(grid.currentCell(), (GridCell{1, 1}));
        QCOMPARE(counts.size(), 0);
    }
};

QTEST_MAIN(TestGridTyping)
#include "tst_gridtyping.moc"
