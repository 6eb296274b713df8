// Point selection on true curves: the rules every selection keeps, its reported error against a
// brute-force evaluation, the accuracy targets, value refusals, strapping tables as CSV and the
// tank file written from the points.

#include "curves/curvefit.h"
#include "tests/editor/tankshapes.h"
#include "tests/support/testfiles.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

TankShape targetTank()
{
    return horizontalShape(2000, 6000, TankEnd::Ellipsoidal);
}
TankShape box()
{
    return boxShape(3, 2, 2, LengthUnit::Metre);
}

// The meter's reading at step k: the straight line between the points on either side of it.
double reading(const LevelPoints& points, int k)
{
    for (int p = 1; p < points.size(); ++p) {
        if (k <= points[p].step) {
            const LevelPoint& a = points[p - 1];
            const LevelPoint& b = points[p];
            return a.value + (b.value - a.value) * double(k - a.step) / (b.step - a.step);
        }
    }
    return points.last().value;
}

// Checks the rules of every selection and returns the brute-force largest error and its step.
std::pair<double, int> checkPoints(const CurveFit& fit)
{
    const LevelPoints& p = fit.points;
    if (p.size() < 2 || p.first().step != 0 || p.last().step != kLastLevelStep) return {-1, -1};
    double worst = 0;
    int at = 0;
    for (int i = 0; i < p.size(); ++i) {
        if (p[i].value != std::lround(fit.truth[p[i].step]) ||
            (i > 0 && (p[i].step <= p[i - 1].step || p[i].value < p[i - 1].value)))
            return {-1, -1};
    }
    for (int k = 0; k < kLevelSteps; ++k) {
        const double e = std::abs(reading(p, k) - fit.truth[k]);
        if (e > worst) {
            worst = e;
            at = k;
        }
    }
    return {worst, at};
}

} // namespace

class TestCurveFit : public QObject {
    Q_OBJECT
private slots:
    void selection_data()
    {
        QTest::addColumn<TankShape>("shape");
        QTest::addColumn<double>("scale");
        QTest::addColumn<PointRequest>("request");
        QTest::addColumn<int>("expectedPoints"); // 0: at most 100, any count
        QTest::newRow("target, 100 points")
            << targetTank() << 100.0 << PointRequest::points(100) << 100;
        QTest::newRow("target, 2 points") << targetTank() << 100.0 << PointRequest::points(2) << 2;
        QTest::newRow("target, within 1")
            << targetTank() << 100.0 << PointRequest::maxError(1) << 0;
        QTest::newRow("sphere, 37 points")
            << sphereShape(4, LengthUnit::Metre) << 100.0 << PointRequest::points(37) << 37;
        QTest::newRow("box, 100 points") << box() << 500.0 << PointRequest::points(100) << 100;
    }

    // The points keep the grid's rules, the count asked, and the error reported is the largest
    // difference over every step, where it lies, within the tolerance asked.
    void selection()
    {
        QFETCH(TankShape, shape);
        QFETCH(double, scale);
        QFETCH(PointRequest, request);
        QFETCH(int, expectedPoints);
        const CurveFit fit = curveFromShape(shape, {}, VolumeUnit::CubicMetre, scale, request);
        QVERIFY2(fit.ok(), qPrintable(fit.refusal));
        if (expectedPoints) QCOMPARE(fit.points.size(), expectedPoints);
        const auto [worst, at] = checkPoints(fit);
        QVERIFY(worst >= 0);
        QCOMPARE(fit.largestError, worst);
        QCOMPARE(fit.largestErrorStep, at);
        QCOMPARE(fit.largestErrorPercent, 100 * worst / fit.truth.last());
        if (request.tolerance) {
            // The fewest: one point less cannot keep the tolerance; as many, asked for, do.
            QVERIFY(fit.largestError <= *request.tolerance);
            const auto asking = [&](int n) {
                return curveFromShape(shape, {}, VolumeUnit::CubicMetre, scale,
                                      PointRequest::points(n))
                    .largestError;
            };
            QVERIFY(asking(int(fit.points.size()) - 1) > *request.tolerance);
            QVERIFY(asking(int(fit.points.size())) <= *request.tolerance);
        }
    }

    // 2000 x 6000 mm, 2:1 heads, m3 x 100: 100 points within 0.6; within 1 unit in at most 26
    // points where 60 evenly spaced points are not enough.
    void targets()
    {
        const CurveFit hundred = curveFromShape(targetTank(), {}, VolumeUnit::CubicMetre, 100,
                                                PointRequest::points(100));
        QCOMPARE(std::lround(hundred.fullValue), 2094);
        QVERIFY2(hundred.largestError <= 0.6, qPrintable(QString::number(hundred.largestError)));
        const CurveFit one = curveFromShape(targetTank(), {}, VolumeUnit::CubicMetre, 100,
                                            PointRequest::maxError(1));
        QVERIFY2(one.points.size() <= 26, qPrintable(QString::number(one.points.size())));
        QVERIFY(largestError(evenlySpacedPoints(one.truth, 60), one.truth) > 1);
    }

    // The level range: p stands for zero + p / 99.99 x span; the volume unit and scale apply.
    void truth_data()
    {
        QTest::addColumn<LevelRange>("range");
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("step");
        QTest::addColumn<double>("expected");
        // box 3 x 2 m floor, 2 m high: 6 m3 a metre.
        const auto row = [](const char* name, LevelRange range, VolumeUnit unit, double scale,
                            int step, double expected) {
            QTest::newRow(name) << range << int(unit) << scale << step << expected;
        };
        const int top = kLastLevelStep;
        using enum VolumeUnit;
        row("top, litres", {}, Litre, 0.5, top, 6000.0);
        row("middle, m3", {}, CubicMetre, 100.0, 5000, 600.0 * 2 * 5000 / 9999);
        row("US gal", {}, UsGallon, 1.0, top, 12 / 0.003785411784);
        row("oil bbl", {}, OilBarrel, 10.0, top, 120 / 0.158987294928);
        row("zero 0.5 m, span 1 m, bottom", {0.5, 1.0}, CubicMetre, 100.0, 0, 300.0);
        row("zero 0.5 m, span 1 m, top", {0.5, 1.0}, CubicMetre, 100.0, top, 900.0);
        row("zero 1.5 m, span to the top", {1.5, {}}, CubicMetre, 100.0, top, 1200.0);
    }
    void truth()
    {
        QFETCH(LevelRange, range);
        QFETCH(int, unit);
        QFETCH(double, scale);
        QFETCH(int, step);
        QFETCH(double, expected);
        const TrueCurve t = trueCurveFromShape(box(), range, VolumeUnit(unit), scale);
        QVERIFY2(t.refusal.isEmpty(), qPrintable(t.refusal));
        QVERIFY(std::abs(t.values.at(step) - expected) <= 1e-9 * expected);
    }

    void refusals_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QByteArray>("csv"); // empty: the box
        QTest::addColumn<bool>("offsetCapable");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("box in litres") << 1.0 << QByteArray() << true
                                       << "The largest value, 12000, does not fit the grid's 4 "
                                          "characters (at most 9999); a scale of 0.5 fits.";
        QTest::newRow("table below -999")
            << 1.0 << QByteArray("0,-2000\n99.99,100\n") << true
            << "The smallest value, -2000, does not fit the grid's 4 characters "
               "(at least -999); a scale of 0.2 fits.";
        QTest::newRow("negative, not offset capable")
            << 1.0 << QByteArray("0,-20\n99.99,100\n") << false
            << "The smallest value, -20, is below 0, which a meter that is not offset capable "
               "cannot hold.";
        QTest::newRow("volume falls")
            << 1.0 << QByteArray("p,v\n0,0\n60,50\n30,60\n99.99,100\n") << true
            << "line 3: the volume 50 is less than 60 at the lower level on line 4";
        // A table in mm read as percent: its first level above 100 by its line.
        QTest::newRow("levels above 100 read as percent")
            << 1.0 << QByteArray("level,volume\n0,0\n50,1000\n100,2000\n150,3000\n2500,9000\n")
            << true
            << "line 5: the level 150 is above 100 %, so the levels are not percentages; give "
               "their length unit (mm, cm, m, in or ft).";
        QTest::newRow("table short of the top")
            << 1.0 << QByteArray("0,0\n90,100\n") << true
            << "The table's levels run from 0 % to 90 % and do not cover the "
               "level range from 0 % to 99.99 %.";
    }
    void refusals()
    {
        QFETCH(double, scale);
        QFETCH(QByteArray, csv);
        QFETCH(bool, offsetCapable);
        QFETCH(QString, refusal);
        const PointRequest n = PointRequest::points(100);
        const CurveFit fit =
            csv.isEmpty()
                ? curveFromShape(box(), {}, VolumeUnit::Litre, scale, n, offsetCapable)
                : curveFromTable(parseStrappingTable(csv), true, {}, scale, n, offsetCapable);
        QCOMPARE(fit.refusal, refusal);
        QVERIFY(fit.points.isEmpty());
    }

    void strappingCsv_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("rows");      // "level volume line; ..." or the refusal
        QTest::addColumn<QString>("levelUnit"); // the unit the header names
        const auto row = [](const char* name, const QByteArray& csv, const QString& rows,
                            const QString& unit = {}) {
            QTest::newRow(name) << csv << rows << unit;
        };
        row("export's form", "percent,value\n0,100\n12.34,567\n99.99,2094\n",
            "0 100 2; 12.34 567 3; 99.99 2094 4", "percent");
        row("semicolons, decimal comma, CRLF, blank line",
            "Level (mm);Volume (l)\r\n0;0\r\n\r\n1000,5;20,25\r\n", "0 0 2; 1000.5 20.25 4", "mm");
        row("CR only, a header in cm", "Level cm,Volume l\r0,0\r50,10\r\r75,20",
            "0 0 2; 50 10 3; 75 20 5", "cm");
        row("a header in inches", "level in in\tvolume gal\n0\t0\n", "0 0 2", "in");
        row("\"in\" before a unit", "Level in ft;Volume\n0;0\n", "0 0 2", "ft");
        row("a header in %", "Level [%],Volume\n0,0\n", "0 0 2", "percent");
        row("a header that names no unit", "level,volume\n0,0\n", "0 0 2");
        row("a header that names two", "level mm or m,volume\n0,0\n", "0 0 2");
        row("a blank line before the header", "\n\nlevel m,volume\n0,0\n", "0 0 4", "m");
        row("BOM before a row",
            "\xEF\xBB\xBF"
            "5;1,5\n",
            "5 1.5 1");
        row("tabs, no header, quoted, any order", "2000\t\"40\"\n0\t0\n1000\t15\n",
            "2000 40 1; 0 0 2; 1000 15 3");
        row("bad row", "level,volume\n0,0\n\n10,abc\n20,30\n",
            "line 4: a row is a level and a volume, two numbers, not '10,abc'");
        row("three fields", "0,0\n1,2,3\n",
            "line 2: a row is a level and a volume, two numbers, not '1,2,3'");
        // A first row that holds a number is a row, not a header, and is held to a row's rules.
        row("a bad first row", "0,0,0\n1,1\n",
            "line 1: a row is a level and a volume, two numbers, not '0,0,0'");
        row("a bad first row with one number", "10,abc\n20,30\n",
            "line 1: a row is a level and a volume, two numbers, not '10,abc'");
        row("an escape sequence in a bad row", readFile(dataPath("strapping/escape-row.csv")),
            "line 3: a row is a level and a volume, two numbers, not "
            "'1,\\x1B]0;owned\\x07\\x1B[2J'");
        row("a long bad row is cut", "0,0\n1," + QByteArray(100, 'x') + "\n",
            "line 2: a row is a level and a volume, two numbers, not '1," + QString(58, 'x') +
                "...'");
        row("only a header", "level,volume\n", "the table has no rows");
    }
    void strappingCsv()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, rows);
        QFETCH(QString, levelUnit);
        const StrappingTable t = parseStrappingTable(csv);
        QStringList got;
        for (const StrappingRow& r : t.rows)
            got.append(QStringLiteral("%1 %2 %3").arg(r.level).arg(r.volume).arg(r.line));
        QCOMPARE(t.ok() ? got.join(QStringLiteral("; ")) : t.refusal, rows);
        if (t.ok()) QCOMPARE(t.levelUnit, levelUnit);
    }

    // A table of no more rows than asked keeps them; a longer one, in mm with a level range, is
    // reduced, its truth between rows is the table's straight line, and the rows outside the
    // range are named.
    void tables()
    {
        const StrappingTable few =
            parseStrappingTable("percent,value\n99.99,2094\n0,2.5\n12.34,567\n50,1000\n60,1000\n");
        const CurveFit kept = curveFromTable(few, true, {}, 1, PointRequest::points(100));
        // A level stretch is kept; a half rounds away from zero, as the grid shows it.
        QCOMPARE(kept.points,
                 (LevelPoints{{0, 3}, {1234, 567}, {5000, 1000}, {6000, 1000}, {9999, 2094}}));
        QCOMPARE(kept.largestError, 0.5);
        QCOMPARE(kept.note, QString());

        QByteArray csv;
        for (int mm = 0; mm <= 3000; mm += 10) // a level from 500 to 2500 mm is the range
            csv += QByteArray::number(mm) + ',' + QByteArray::number(mm * mm / 1000.0) + '\n';
        const CurveFit reduced =
            curveFromTable(parseStrappingTable(csv), false, LevelRange{500.0, 2000.0}, 1,
                           PointRequest::points(40));
        QVERIFY2(reduced.ok(), qPrintable(reduced.refusal));
        QCOMPARE(reduced.points.size(), 40);
        QCOMPARE(reduced.truth.first(), 250.0);
        QCOMPARE(reduced.truth.last(), 6250.0);
        // The 50 rows below 500 mm and the 50 above 2500 mm are said to be left out.
        QCOMPARE(reduced.note, QStringLiteral("100 rows (lines 1 to 50 and 252 to 301) lie "
                                              "outside the level range 500 to 2500 and are not "
                                              "used"));
        const double mid = 500 + 2000 * 5000 / 9999.0; // between the rows at 1500 and 1510 mm
        const double lo = std::floor(mid / 10) * 10;
        QVERIFY(std::abs(reduced.truth.at(5000) -
                         (lo * lo + (mid - lo) * ((lo + 10) * (lo + 10) - lo * lo) / 10) / 1000) <
                1e-9);
        QVERIFY(checkPoints(reduced).first >= 0);
    }

    // A selection asked to stop comes back refused, with no points, whatever it was choosing.
    void stops_data()
    {
        QTest::addColumn<PointRequest>("request");
        QTest::addColumn<int>("looks"); // how often the stop answers "go on" first
        QTest::newRow("100 points, at once") << PointRequest::points(100) << 0;
        QTest::newRow("100 points, midway") << PointRequest::points(100) << 10;
        QTest::newRow("within 1 unit, at once") << PointRequest::maxError(1) << 0;
        QTest::newRow("within 1 unit, midway") << PointRequest::maxError(1) << 10;
        QTest::newRow("within 0.01 unit: the 100 points it then makes")
            << PointRequest::maxError(0.01) << 50;
    }
    void stops()
    {
        QFETCH(PointRequest, request);
        QFETCH(int, looks);
        int asked = 0; // until told to stop
        bool told = false;
        const CurveFit fit =
            curveFromShape(targetTank(), {}, VolumeUnit::CubicMetre, 100, request, true, [&] {
                if (!told) told = ++asked > looks;
                return told;
            });
        QCOMPARE(fit.refusal, kStoppedRefusal);
        QVERIFY(fit.points.isEmpty());
        QCOMPARE(asked, looks + 1);
    }

    // The tank file holds the points through the editor's writer, in either layout.
    void tankFile_data()
    {
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<int>("fullScale");
        QTest::newRow("offset capable") << true << 2094 - 3;
        QTest::newRow("not offset capable") << false << 2094;
    }
    void tankFile()
    {
        QFETCH(bool, offsetMode);
        QFETCH(int, fullScale);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.tnk"));
        const LevelPoints points{{0, 3}, {5, 4}, {1234, 567}, {9999, 2094}};
        QVERIFY(saveCurveTankFile(path, QStringLiteral("7"), points, offsetMode).ok);
        const TankFileFields f = readTankFile(path, offsetMode);
        QVERIFY(f.ok());
        QCOMPARE(*f.tankNumberText, QStringLiteral("7"));
        QCOMPARE(*f.fullScale, fullScale);
        QCOMPARE(f.offsetText.value_or(QString()), offsetMode ? QStringLiteral("-3") : QString());
        QStringList texts;
        for (const TankPointTexts& p : f.points)
            texts << p.valueText + '@' + p.percentText;
        QCOMPARE(texts.join(' '), QStringLiteral("3@0 4@.05 567@12.34 2094@99.99"));
    }
};

QTEST_GUILESS_MAIN(TestCurveFit)
#include "tst_curvefit.moc"
