// Curves from tank shapes and strapping tables: the largest error of evenly spaced and of chosen
// points for each shape, the points each needs for an error of 1 unit, and the time to make a
// 100-point curve from a shape and from a 100 000-row table. Prints figures; decides nothing.

#include "bench/support/stats.h"
#include "curves/curvefit.h"

#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace kaldor;

namespace {

struct Case {
    const char* name;
    TankShape shape;
    VolumeUnit unit;
    double scale;
};

std::vector<Case> cases()
{
    TankShape h{TankKind::HorizontalCylinder,
                LengthUnit::Millimetre,
                2000,
                6000,
                0,
                0,
                TankEnd::Ellipsoidal,
                {},
                {},
                {}};
    TankShape ht = h;
    ht.end = TankEnd::Torispherical;
    TankShape hf = h;
    hf.end = TankEnd::Flat;
    TankShape vc{TankKind::VerticalCylinder,
                 LengthUnit::Millimetre,
                 3000,
                 0,
                 5000,
                 0,
                 TankEnd::Cone,
                 1000.0,
                 {},
                 {}};
    TankShape vt = vc;
    vt.end = TankEnd::Torispherical;
    vt.endDepth.reset();
    TankShape sp{TankKind::Sphere, LengthUnit::Metre, 4, 0, 0, 0, TankEnd::Flat, {}, {}, {}};
    TankShape box{TankKind::Box, LengthUnit::Metre, 0, 3, 2, 2, TankEnd::Flat, {}, {}, {}};
    return {{"horizontal, 2:1 ellipsoidal heads, m3 x 100", h, VolumeUnit::CubicMetre, 100},
            {"horizontal, torispherical heads, m3 x 100", ht, VolumeUnit::CubicMetre, 100},
            {"horizontal, flat heads, m3 x 100", hf, VolumeUnit::CubicMetre, 100},
            {"vertical 3000 x 5000 mm, cone 1000 mm, m3 x 100", vc, VolumeUnit::CubicMetre, 100},
            {"vertical 3000 x 5000 mm, torispherical, m3 x 100", vt, VolumeUnit::CubicMetre, 100},
            {"sphere 4 m, m3 x 100", sp, VolumeUnit::CubicMetre, 100},
            {"box 3 x 2 x 2 m, l x 0.5", box, VolumeUnit::Litre, 0.5}};
}

template <typename F> double medianMs(F f, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    return bench::median(ms);
}

int evenlyNeeded(const QVector<double>& truth, double e)
{
    for (int n = 2; n <= CurveTable::kRows; ++n)
        if (largestError(evenlySpacedPoints(truth, n), truth) <= e) return n;
    return 0;
}

} // namespace

int main()
{
    std::printf("| shape | full | points | evenly | chosen | for 1 unit: evenly | chosen |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Case& c : cases()) {
        const TrueCurve truth = trueCurveFromShape(c.shape, {}, c.unit, c.scale);
        if (!truth.refusal.isEmpty()) {
            std::printf("%s: %s\n", c.name, qPrintable(truth.refusal));
            continue;
        }
        const int even1 = evenlyNeeded(truth.values, 1.0);
        const CurveFit one = fitCurve(truth.values, PointRequest::maxError(1.0), c.scale);
        for (const int n : {10, 20, 50, 100}) {
            const CurveFit fit = fitCurve(truth.values, PointRequest::points(n), c.scale);
            const double even = largestError(evenlySpacedPoints(truth.values, n), truth.values);
            std::printf("| %s | %.0f | %d | %.2f | %.2f | %s | %s |\n", c.name, truth.values.last(),
                        n, even, fit.largestError,
                        even1 ? qPrintable(QString::number(even1)) : "over 100",
                        one.ok() ? qPrintable(QString::number(one.points.size())) : "over 100");
        }
    }
    for (const Case& c : cases()) {
        const double ms = medianMs(
            [&] { (void)curveFromShape(c.shape, {}, c.unit, c.scale, PointRequest::points(100)); },
            11);
        std::printf("100-point curve, %s: %.1f ms\n", c.name, ms);
    }
    // A 100 000-row table of the first tank, level in mm, volume in litres, read from its bytes.
    const Case c = cases().front();
    const TankVolume volume(c.shape);
    QByteArray csv = "level;volume\n";
    constexpr int kRows = 100000;
    for (int i = 0; i < kRows; ++i) {
        const double level = 2000.0 * i / (kRows - 1);
        csv += QByteArray::number(level, 'f', 3) + ';' +
               QByteArray::number(volume.cubicMetresAt(level) * 1000, 'f', 3) + '\n';
    }
    CurveFit fit;
    const double ms = medianMs(
        [&] {
            fit =
                curveFromTable(parseStrappingTable(csv), false, {}, 0.1, PointRequest::points(100));
        },
        5);
    std::printf("100 000-row table (%lld bytes) read and reduced to 100 points: %.1f ms, largest "
                "error %.3f, %d points, full %.1f %s\n",
                static_cast<long long>(csv.size()), ms, fit.largestError, int(fit.points.size()),
                fit.fullValue, qPrintable(fit.refusal));
    return 0;
}
