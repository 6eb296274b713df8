// Tank volumes against a brute-force integral of the shape's own profile, worked out here in
// the shape's unit with double-exponential quadrature: the slices across a vertical tank are
// discs, those across a horizontal tank's heads are discs filled to the level.

#include "tests/editor/tankshapes.h"

#include <QTest>
#include <cmath>
#include <functional>
#include <numbers>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

constexpr double kPi = std::numbers::pi;
using Fn = std::function<double(double)>;

// Tanh-sinh quadrature over [a, b]; copes with the square-root ends of circular profiles.
double integrate(const Fn& f, double a, double b)
{
    if (!(b > a)) return 0;
    constexpr double h = 1.0 / 64;
    const double half = (b - a) / 2;
    double sum = 0;
    for (int i = -230; i <= 230; ++i) {
        const double t = i * h;
        const double u = kPi / 2 * std::sinh(t);
        const double gap =
            (b - a) / (std::exp(2 * std::abs(u)) + 1); // distance from the nearer end
        const double x = t >= 0 ? b - gap : a + gap;
        if (x <= a || x >= b) continue;
        const double w = half * kPi / 2 * std::cosh(t) / (std::cosh(u) * std::cosh(u));
        sum += w * f(x);
    }
    return sum * h;
}

// Integrates over [a, b] split at each of cuts that lies inside.
double integrateSplit(const Fn& f, double a, double b, std::vector<double> cuts)
{
    cuts.push_back(a);
    cuts.push_back(b);
    std::sort(cuts.begin(), cuts.end());
    double sum = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i)
        sum += integrate(f, std::clamp(cuts[i], a, b), std::clamp(cuts[i + 1], a, b));
    return sum;
}

// The part of a disc of radius rho below the height z above its centre: the disc's area times
// the share its chord cuts off, as a central angle.
double discBelow(double rho, double z)
{
    if (z >= rho) return kPi * rho * rho;
    if (z <= -rho) return 0;
    const double theta = 2 * std::acos(-z / rho); // the angle the wetted arc spans
    return rho * rho * (theta - std::sin(theta)) / 2;
}

// The profile of a torispherical end: radius at depth x into the end (0 at the tangent line).
struct Dished {
    double radius, crown, knuckle, depth, joint; // joint: the depth where crown meets knuckle
    Dished(double d, double c, double k) : radius(d / 2), crown(c), knuckle(k)
    {
        // The crown's centre lies on the axis, the knuckle's at (0, radius - k); the two circles
        // touch on the line through both centres.
        const double ax = radius - k;
        const double crownCentre =
            -std::sqrt((c - k) * (c - k) - ax * ax); // behind the tangent line
        depth = crownCentre + c;
        joint = k * -crownCentre / (c - k);
    }
    double rho(double x) const
    {
        if (x <= joint)
            return radius - knuckle + std::sqrt(std::max(0.0, knuckle * knuckle - x * x));
        const double fromCentre = x - (depth - crown);
        return std::sqrt(std::max(0.0, crown * crown - fromCentre * fromCentre));
    }
};

struct Reference {
    double top = 0; // the tank's full height, in its unit
    double full = 0;
    std::function<double(double)> at; // in the shape's unit cubed
};

// Volume of a solid of revolution about a vertical axis, radius r(y) at height y.
Reference verticalReference(double top, const Fn& r, std::vector<double> cuts)
{
    Reference ref{top, 0, {}};
    ref.at = [=](double h) {
        return integrateSplit([&](double y) { return kPi * r(y) * r(y); }, 0, std::min(h, top),
                              cuts);
    };
    ref.full = ref.at(top);
    return ref;
}

// A horizontal cylinder's straight part and both heads, each head a solid of revolution about
// the tank's axis with radius rho(x) at x into the head.
Reference horizontalReference(double d, double length, double headDepth, const Fn& rho,
                              std::vector<double> cuts)
{
    const double r = d / 2;
    Reference ref{d, 0, {}};
    ref.at = [=](double h) {
        const double z = h - r;
        // Where the head's radius falls to |z|: past it the slice is wholly filled or empty.
        double lo = 0, hi = headDepth;
        for (int i = 0; i < 200 && std::abs(z) > 0; ++i) {
            const double mid = (lo + hi) / 2;
            (rho(mid) > std::abs(z) ? lo : hi) = mid;
        }
        std::vector<double> at = cuts;
        at.push_back(lo);
        const double heads =
            2 * integrateSplit([&](double x) { return discBelow(rho(x), z); }, 0, headDepth, at);
        return length * discBelow(r, z) + heads;
    };
    ref.full = ref.at(d);
    return ref;
}

} // namespace

Q_DECLARE_METATYPE(Reference)

class TestTankShape : public QObject {
    Q_OBJECT
private slots:
    void volumes_data()
    {
        QTest::addColumn<TankShape>("shape");
        QTest::addColumn<Reference>("reference");

        const auto ellipse = [](double r, double b) {
            return [=](double y) {
                return r * std::sqrt(std::max(0.0, 1 - (b - y) * (b - y) / (b * b)));
            };
        };
        const auto straight = [](double r, double b, Fn bottom) {
            return [=](double y) { return y < b ? bottom(y) : r; };
        };
        QTest::newRow("vertical, flat")
            << verticalShape(1000, 2000, TankEnd::Flat)
            << verticalReference(2000, [](double) { return 500.0; }, {});
        QTest::newRow("vertical, cone")
            << verticalShape(3000, 5000, TankEnd::Cone, 1000.0)
            << verticalReference(6000, straight(1500, 1000, [](double y) { return 1.5 * y; }),
                                 {1000});
        QTest::newRow("vertical, 2:1 ellipsoidal (cm)")
            << verticalShape(200, 300, TankEnd::Ellipsoidal, {}, LengthUnit::Centimetre)
            << verticalReference(350, straight(100, 50, ellipse(100, 50)), {50});
        QTest::newRow("vertical, shallow ellipsoidal")
            << verticalShape(2000, 3000, TankEnd::Ellipsoidal, 300.0)
            << verticalReference(3300, straight(1000, 300, ellipse(1000, 300)), {300});
        QTest::newRow("vertical, hemispherical (ft)")
            << verticalShape(10, 12, TankEnd::Hemispherical, {}, LengthUnit::Foot)
            << verticalReference(17, straight(5, 5, ellipse(5, 5)), {5});
        for (const auto& [name, crown, knuckle] :
             {std::tuple{"vertical, torispherical", 3000.0, 180.0},
              std::tuple{"vertical, torispherical 2500/300", 2500.0, 300.0}}) {
            const Dished dished(3000, crown, knuckle);
            TankShape s = verticalShape(3000, 4000, TankEnd::Torispherical);
            if (crown != 3000.0) {
                s.crownRadius = crown;
                s.knuckleRadius = knuckle;
            }
            const double b = dished.depth;
            QTest::newRow(name) << s
                                << verticalReference(
                                       b + 4000,
                                       [=](double y) { return y < b ? dished.rho(b - y) : 1500.0; },
                                       {b - dished.joint, b});
        }
        QTest::newRow("horizontal, flat")
            << horizontalShape(2000, 6000, TankEnd::Flat)
            << horizontalReference(2000, 6000, 0, [](double) { return 0.0; }, {});
        QTest::newRow("horizontal, 2:1 ellipsoidal")
            << horizontalShape(2000, 6000, TankEnd::Ellipsoidal)
            << horizontalReference(
                   2000, 6000, 500,
                   [](double x) { return 1000 * std::sqrt(std::max(0.0, 1 - x * x / 250000)); },
                   {});
        QTest::newRow("horizontal, hemispherical (in)")
            << horizontalShape(48, 120, TankEnd::Hemispherical, {}, LengthUnit::Inch)
            << horizontalReference(
                   48, 120, 24, [](double x) { return std::sqrt(std::max(0.0, 576 - x * x)); }, {});
        for (const auto& [name, crown, knuckle] :
             {std::tuple{"horizontal, torispherical", 2000.0, 120.0},
              std::tuple{"horizontal, torispherical 1500/250", 1500.0, 250.0}}) {
            const Dished dished(2000, crown, knuckle);
            TankShape s = horizontalShape(2000, 6000, TankEnd::Torispherical);
            if (crown != 2000.0) {
                s.crownRadius = crown;
                s.knuckleRadius = knuckle;
            }
            QTest::newRow(name) << s
                                << horizontalReference(2000, 6000, dished.depth,
                                                       [=](double x) { return dished.rho(x); },
                                                       {dished.joint});
        }
        QTest::newRow("sphere (m)")
            << sphereShape(4, LengthUnit::Metre)
            << verticalReference(
                   4, [](double y) { return std::sqrt(std::max(0.0, 4 - (y - 2) * (y - 2))); }, {});
        QTest::newRow("box (m)") << boxShape(3, 2, 1.5, LengthUnit::Metre)
                                 << verticalReference(
                                        2, [](double) { return std::sqrt(4.5 / kPi); }, {});
    }

    // At 41 levels from below the bottom to above the top, within 1e-9 of the full volume.
    void volumes()
    {
        QFETCH(TankShape, shape);
        QFETCH(Reference, reference);
        const double height = reference.top;
        QVERIFY2(tankShapeRefusal(shape).isEmpty(), qPrintable(tankShapeRefusal(shape)));
        QCOMPARE(tankHeight(shape), height);
        const TankVolume volume(shape);
        const double cube = std::pow(metresPer(shape.unit), 3);
        const double full = reference.full * cube;
        QVERIFY(std::abs(volume.fullCubicMetres() - full) <= 1e-9 * full);
        for (int i = -1; i <= 41; ++i) {
            const double level =
                height * i / 40.0 + (i % 3) * 1e-3 * height; // off the even grid too
            const double expected = reference.at(std::clamp(level, 0.0, height)) * cube;
            const double got = volume.cubicMetresAt(level);
            QVERIFY2(std::abs(got - expected) <= 1e-9 * full,
                     qPrintable(QStringLiteral("level %1: %2, expected %3")
                                    .arg(level)
                                    .arg(got, 0, 'g', 15)
                                    .arg(expected, 0, 'g', 15)));
        }
    }

    // A cube of one side in each length unit, its volume in cubic metres worked out by hand:
    // 1 m = 100 cm = 1000 mm, 1 ft = 12 in = 0.3048 m.
    void lengthUnits_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("side");
        QTest::addColumn<double>("cubicMetres");
        QTest::newRow("1 m") << int(LengthUnit::Metre) << 1.0 << 1.0;
        QTest::newRow("100 cm") << int(LengthUnit::Centimetre) << 100.0 << 1.0;
        QTest::newRow("1000 mm") << int(LengthUnit::Millimetre) << 1000.0 << 1.0;
        QTest::newRow("1 ft") << int(LengthUnit::Foot) << 1.0 << 0.028316846592;
        QTest::newRow("12 in") << int(LengthUnit::Inch) << 12.0 << 0.028316846592;
        QTest::newRow("3 ft") << int(LengthUnit::Foot) << 3.0 << 0.764554857984;
    }
    void lengthUnits()
    {
        QFETCH(int, unit);
        QFETCH(double, side);
        QFETCH(double, cubicMetres);
        const TankVolume volume(boxShape(side, side, side, LengthUnit(unit)));
        QVERIFY2(std::abs(volume.fullCubicMetres() - cubicMetres) <= 1e-12 * cubicMetres,
                 qPrintable(QString::number(volume.fullCubicMetres(), 'g', 15)));
    }

    void refusals_data()
    {
        QTest::addColumn<TankShape>("shape");
        QTest::addColumn<QString>("refusal");
        TankShape cone = verticalShape(1000, 1000, TankEnd::Cone);
        QTest::newRow("cone without depth") << cone << "A cone needs its depth.";
        QTest::newRow("hemisphere with depth")
            << verticalShape(1000, 1000, TankEnd::Hemispherical, 300.0)
            << "The depth of hemispherical bottom follows from the diameter; give none.";
        QTest::newRow("horizontal cone") << horizontalShape(1000, 1000, TankEnd::Cone, 300.0)
                                         << "A horizontal cylinder's heads are flat, ellipsoidal, "
                                            "hemispherical or torispherical.";
        TankShape knuckle = horizontalShape(1000, 1000, TankEnd::Torispherical);
        knuckle.knuckleRadius = 500;
        QTest::newRow("knuckle too large")
            << knuckle
            << "The knuckle radius must be greater than 0 and less than half the diameter.";
        QTest::newRow("no diameter") << horizontalShape(0, 1000, TankEnd::Flat)
                                     << "The diameter must be a number greater than 0.";
    }
    void refusals()
    {
        QFETCH(TankShape, shape);
        QFETCH(QString, refusal);
        QCOMPARE(tankShapeRefusal(shape), refusal);
    }
};

QTEST_GUILESS_MAIN(TestTankShape)
#include "tst_tankshape.moc"
