// The graph: the points taken from the cell texts, the axis scales, and the graphit window
// after a fill and after the next one.

#include "graph/chartsetup.h"
#include "graph/graphdata.h"
#include "graph/graphwindow.h"
#include "tests/editor/curvetables.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLegend>
#include <QScatterSeries>
#include <QTest>
#include <QValueAxis>

#include <algorithm>

using namespace kaldor;
using namespace kaldor::testing;

Q_DECLARE_METATYPE(kaldor::AxisScale)

namespace {

using Points = QList<QPointF>;

// The axis the chart shows at that side; the error's axis at the right shows only with a true
// curve.
QValueAxis* axis(QChart* chart, Qt::Alignment side)
{
    QList<QAbstractAxis*> axes;
    for (QAbstractAxis* a : chart->axes())
        if (a->alignment() == side && a->isVisible()) axes.append(a);
    return axes.size() == 1 ? qobject_cast<QValueAxis*>(axes.first()) : nullptr;
}

// The axis holds every coordinate and is not much wider than they are.
void checkFits(QValueAxis* axis, const QList<double>& coordinates)
{
    QVERIFY(axis);
    const double lo = *std::min_element(coordinates.begin(), coordinates.end());
    const double hi = *std::max_element(coordinates.begin(), coordinates.end());
    QVERIFY2(axis->min() < lo && axis->max() > hi, qPrintable(axis->titleText()));
    QVERIFY2(axis->max() - axis->min() <= 1.1 * (hi - lo), qPrintable(axis->titleText()));
}

} // namespace

class TestGraph : public QObject {
    Q_OBJECT
private slots:
    void points_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("pointCount");
        QTest::addColumn<Points>("points"); // x: percentage, y: VALUE

        const Rows three = threePointRows();
        QTest::newRow("three points") << three << 3 << Points{{0, 100}, {50, 600}, {99.99, 1100}};
        QTest::newRow("Val rule") << Rows{{" 600.0", "50.000"},
                                          {"-50", " 50.00"},
                                          {"12ab", "7x"},
                                          {"", "x"}}
                                  << 4 << Points{{50, 600}, {50, -50}, {7, 12}, {0, 0}};
        QTest::newRow("grid order kept")
            << Rows{{"9", "99.99"}, {"1", "0"}} << 2 << Points{{99.99, 9}, {0, 1}};
        QTest::newRow("rows past the count left out") << three << 2 << Points{{0, 100}, {50, 600}};
        QTest::newRow("negative count") << three << -1 << Points{};

        Rows full;
        Points all;
        for (int i = 0; i < CurveTable::kRows; ++i) {
            full.append({QString::number(2 * i), QString::number(i)});
            all.append({double(i), double(2 * i)});
        }
        QTest::newRow("count above the grid") << full << CurveTable::kRows + 1 << all;
    }

    void points()
    {
        QFETCH(Rows, rows);
        QFETCH(int, pointCount);
        QFETCH(Points, points);
        QCOMPARE(graphPoints(tableOf(rows), pointCount), points);
    }

    void scale_data()
    {
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("tickInterval");
        QTest::addColumn<int>("decimals");

        QTest::newRow("percentages") << 0.0 << 99.99 << -2.9997 << 102.9897 << 20.0 << 0;
        QTest::newRow("offset values") << -50.0 << 950.0 << -80.0 << 980.0 << 200.0 << 0;
        QTest::newRow("flat curve") << 10.0 << 10.0 << 8.94 << 11.06 << 0.5 << 1;
        QTest::newRow("small span") << 1.0 << 1.15 << 0.9955 << 1.1545 << 0.02 << 2;
    }

    void scale()
    {
        QFETCH(double, lo);
        QFETCH(double, hi);
        const AxisScale s = axisScale(lo, hi);
        QTEST(s.min, "min");
        QTEST(s.max, "max");
        QTEST(s.tickInterval, "tickInterval");
        QTEST(s.decimals, "decimals");
    }

    // An axis taken from one scale to another never holds more than a few ticks on the way: a
    // fine interval over a wide range is a label for each tick to lay out, seconds of work.
    void axisChange_data()
    {
        QTest::addColumn<AxisScale>("from");
        QTest::addColumn<AxisScale>("to");
        QTest::newRow("fine to wide") << axisScale(1, 1.15) << axisScale(0, 1100);
        QTest::newRow("wide to fine") << axisScale(0, 1100) << axisScale(1, 1.15);
        QTest::newRow("the empty preview to a curve") << axisScale(0, 0) << axisScale(0, 9000);
    }
    void axisChange()
    {
        QFETCH(AxisScale, from);
        QFETCH(AxisScale, to);
        QValueAxis axis;
        axis.setTickType(QValueAxis::TicksDynamic);
        applyAxisScale(&axis, from);
        double most = 0;
        const auto count = [&] {
            most = std::max(most, (axis.max() - axis.min()) / axis.tickInterval());
        };
        connect(&axis, &QValueAxis::rangeChanged, this, count);
        connect(&axis, &QValueAxis::tickIntervalChanged, this, count);
        applyAxisScale(&axis, to);
        QVERIFY2(most <= 20, qPrintable(QString::number(most)));
        QCOMPARE(axis.min(), to.min);
        QCOMPARE(axis.max(), to.max);
        QCOMPARE(axis.tickInterval(), to.tickInterval);
    }

    void window()
    {
        GraphWindow graph;
        auto* view = graph.findChild<QChartView*>(QStringLiteral("Graph1"));
        QVERIFY(view);
        QChart* chart = view->chart();
        QValueAxis* x = axis(chart, Qt::AlignBottom);
        QValueAxis* y = axis(chart, Qt::AlignLeft);
        QVERIFY(x && y);
        auto* hovered = graph.findChild<QLabel*>(QStringLiteral("hoveredPoint"));
        QVERIFY(hovered);

        // A rising curve, then a second fill with a falling one the viewer would draw: the same
        // window shows only the second, on axes fitted to it.
        const QList<Points> fills = {{{0, 100}, {50, 600}, {99.99, 1100}}, {{0, 90}, {95, 50}}};
        for (const Points& points : fills) {
            QVERIFY(graph.showCurve(points));
            QVERIFY(graph.isVisible());
            QVERIFY(!QApplication::activeModalWidget());
            // Without a true curve, the line and the markers alone draw anything.
            int drawing = 0;
            for (QAbstractSeries* s : chart->series()) {
                const QList<QPointF> drawn = qobject_cast<QXYSeries*>(s)->points();
                if (drawn.isEmpty()) continue;
                QCOMPARE(drawn, points);
                ++drawing;
            }
            QCOMPARE(drawing, 2);
            QVERIFY(!axis(chart, Qt::AlignRight));
            QVERIFY(!chart->legend()->isVisible()); // one line needs no legend
            QList<double> xs, ys;
            for (const QPointF& p : points) {
                xs.append(p.x());
                ys.append(p.y());
            }
            checkFits(x, xs);
            checkFits(y, ys);
        }

        // The mouse over a marker names its point, and leaving it empties the label.
        auto* markers = chart->findChild<QScatterSeries*>();
        QVERIFY(markers);
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const auto mouseOn = [&](const QPointF& point) {
            const QPointF scenePos = chart->mapToScene(chart->mapToPosition(point, markers));
            QTest::mouseMove(view->viewport(), view->mapFromScene(scenePos));
        };
        mouseOn({95, 50});
        QTRY_COMPARE(hovered->text(), QStringLiteral("95 % of full scale: 50 units"));
        mouseOn({47.5, 70});
        QTRY_COMPARE(hovered->text(), QString());

        // Nothing to draw keeps the curve shown.
        QVERIFY(!graph.showCurve({}));
        QCOMPARE(markers->points(), fills.last());
    }
};

QTEST_MAIN(TestGraph)
#include "tst_graph.moc"
