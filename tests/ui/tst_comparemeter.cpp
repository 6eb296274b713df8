// "Compare with Meter" from the file management window and from the viewer, against the
// simulated meter: the file and the meter share a tank that is the same and one that differs,
// and each holds a tank the other lacks. The table gives every tank's state; picking the
// changed tank draws both curves and highlights exactly the cells that read differently.

#include "editor/curvegrid.h"
#include "store/managementwindow.h"
#include "tests/store/testimages.h"
#include "tests/support/uirig.h"
#include "viewer/comparewindow.h"
#include "viewer/viewerwindow.h"

#include <QChartView>
#include <QLineSeries>
#include <QTableWidget>

using namespace kaldor;
using namespace kaldor::testing;

namespace
{

using Cells = QList<GridCell>;
using Tank = QPair<int, QVector<int>>;

// The tanks placed one after another from the start of the record area.
IndicatorImage imageOf(const QList<Tank>& tanks)
{
    QVector<PlacedTank> placed;
    int at = layout::kRecordAreaStart;
    for (const Tank& t : tanks) {
        placed.append({t.first, at, t.second});
        at += 2 * int(t.second.size());
    }
    return placeTanks(placed, at, (at + 7) / 8 * 8);
}

QVector<int> changed(QVector<int> words, int index, int by)
{
    words[index] += by;
    return words;
}

Cells highlighted(const CurveGrid* grid)
{
    Cells cells;
    for (int row = 1; row <= CurveTable::kRows; ++row)
        for (int column : {CurveTable::kValueColumn, CurveTable::kPercentColumn})
            if (grid->model()->index(row, column).data(Qt::BackgroundRole).isValid())
                cells.append({row, column});
    return cells;
}

} // namespace

class TestCompareMeter : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void compare_data();
    void compare();
    void refusedFile();

private:
    std::optional<FreshDirectory> m_dir;
};

void TestCompareMeter::compare_data()
{
    QTest::addColumn<QByteArray>("from"); // the window whose item is used
    QTest::addColumn<QVector<int>>("meterTank3");
    QTest::addColumn<Cells>("differing");

    // Tank 3 in the file: full scale 1000, offset 0, four points; a point's words are its
    // percentage and its VALUE.
    const QVector<int> tank3 = curveWords(1000, 0, 4);
    const int kValue = CurveTable::kValueColumn;
    const int kPercent = CurveTable::kPercentColumn;
    QTest::newRow("value of point 2, viewer")
        << QByteArray("edtnk") << changed(tank3, 5, 4000) << Cells{{2, kValue}};
    QTest::newRow("percentage of point 3, management window")
        << QByteArray("meterform") << changed(tank3, 6, 300) << Cells{{3, kPercent}};
    QTest::newRow("a point more, viewer")
        << QByteArray("edtnk") << curveWords(1000, 0, 5)
        << Cells{{4, kValue}, {4, kPercent}, {5, kValue}, {5, kPercent}};
}

void TestCompareMeter::compare()
{
    QFETCH(QByteArray, from);
    QFETCH(QVector<int>, meterTank3);
    QFETCH(Cells, differing);

    const QVector<int> tank12 = curveWords(2000, 0, 3);
    const IndicatorImage file =
        imageOf({{12, tank12}, {3, curveWords(1000, 0, 4)}, {7, curveWords(500, 0, 2)}});
    const IndicatorImage meter =
        imageOf({{3, meterTank3}, {9, curveWords(800, 0, 2)}, {12, tank12}});
    const QString path = m_dir->path(QStringLiteral("plant.idr"));
    writeFile(path, formatIndicatorFile(file.blockCount(), file, 0));

    UiRig rig(meter);
    QVERIFY(rig.waitIdle());
    ManagementWindow* management = rig.window->showManagementWindow();
    QVERIFY(management->openFile(path));
    QWidget* window =
        from == "meterform" ? management : management->findChild<QWidget*>(QLatin1String(from));
    QAction* item = window->findChild<QAction*>(QStringLiteral("compareMeter"));
    QVERIFY(item);
    item->trigger();
    QVERIFY(rig.waitIdle());
    CompareWindow* compare = nullptr;
    QTRY_VERIFY((compare = window->findChild<CompareWindow*>(QStringLiteral("cmpmeter"))));
    QCOMPARE(rig.dialogs.messages(), QStringList{});

    auto* table = compare->findChild<QTableWidget*>(QStringLiteral("tblTanks"));
    QStringList states;
    for (int row = 0; row < table->rowCount(); ++row)
        states.append(table->item(row, 0)->text() + " " + table->item(row, 1)->text());
    QCOMPARE(states, (QStringList{"Tank  12 same", "Tank  3 changed", "Tank  7 only in file",
                                  "Tank  9 only in meter"}));

    table->setCurrentCell(1, 1);
    for (const char* side : {"gridFile", "gridMeter"})
        QCOMPARE(highlighted(compare->findChild<CurveGrid*>(QLatin1String(side))), differing);
    const QList<QAbstractSeries*> curves =
        compare->findChild<QChartView*>(QStringLiteral("chartCompare"))->chart()->series();
    QCOMPARE(curves.size(), 2);
    QCOMPARE(static_cast<QLineSeries*>(curves[0])->count(), 4);
    QCOMPARE(static_cast<QLineSeries*>(curves[1])->count(), meterTank3.size() / 2 - 1);

    // A tank that is the same highlights nothing.
    table->setCurrentCell(0, 0);
    QCOMPARE(highlighted(compare->findChild<CurveGrid*>(QStringLiteral("gridMeter"))), Cells{});
}

// A file that is not sound is refused with its name before the meter is read.
void TestCompareMeter::refusedFile()
{
    const QString path = m_dir->path(QStringLiteral("bad.idr"));
    writeFile(path, " 0 , 1 , 61 , 180 , 256 , 1 , 1 , 1 , 1 , 1 , 61\r\n");
    UiRig rig(sampleImage());
    QVERIFY(rig.waitIdle());
    ManagementWindow* management = rig.window->showManagementWindow();
    QVERIFY(!management->openFile(path));
    rig.dialogs.clear();
    management->findChild<QAction*>(QStringLiteral("compareMeter"))->trigger();
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.dialogs.messages().size(), 1);
    QVERIFY2(rig.dialogs.messages().constFirst().startsWith(path + ": "),
             qPrintable(rig.dialogs.messages().value(0)));
    QCOMPARE(rig.meter->commandCount("AU"), 0);
    QVERIFY(!management->findChild<CompareWindow*>());
}

QTEST_MAIN(TestCompareMeter)
#include "tst_comparemeter.moc"
