#include "curves/tankshape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace kaldor {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kEllipsoidalDepthRatio = 0.25; // a 2:1 head is a quarter of the diameter deep
constexpr double kKnuckleRatio = 0.06;          // the common flanged-and-dished head

struct Named {
    const char* name;
    int value;
};

constexpr std::array kLengthUnits{
    Named{"mm", int(LengthUnit::Millimetre)}, Named{"cm", int(LengthUnit::Centimetre)},
    Named{"m", int(LengthUnit::Metre)}, Named{"in", int(LengthUnit::Inch)},
    Named{"ft", int(LengthUnit::Foot)}};
constexpr std::array kVolumeUnits{
    Named{"l", int(VolumeUnit::Litre)}, Named{"m3", int(VolumeUnit::CubicMetre)},
    Named{"gal", int(VolumeUnit::UsGallon)}, Named{"bbl", int(VolumeUnit::OilBarrel)}};
constexpr std::array kKinds{Named{"vertical-cylinder", int(TankKind::VerticalCylinder)},
                            Named{"horizontal-cylinder", int(TankKind::HorizontalCylinder)},
                            Named{"sphere", int(TankKind::Sphere)},
                            Named{"box", int(TankKind::Box)}};
constexpr std::array kEnds{Named{"flat", int(TankEnd::Flat)}, Named{"cone", int(TankEnd::Cone)},
                           Named{"ellipsoidal", int(TankEnd::Ellipsoidal)},
                           Named{"hemispherical", int(TankEnd::Hemispherical)},
                           Named{"torispherical", int(TankEnd::Torispherical)}};

template <typename E, std::size_t N> QString nameOf(const std::array<Named, N>& list, E value)
{
    for (const Named& n : list)
        if (n.value == int(value)) return QString::fromLatin1(n.name);
    return {};
}

template <typename E, std::size_t N>
std::optional<E> fromName(const std::array<Named, N>& list, const QString& name)
{
    for (const Named& n : list)
        if (name == QLatin1String(n.name)) return E(n.value);
    return std::nullopt;
}

template <std::size_t N> QStringList namesOf(const std::array<Named, N>& list)
{
    QStringList out;
    for (const Named& n : list)
        out.append(QString::fromLatin1(n.name));
    return out;
}

// Gauss-Legendre nodes and weights on [0, 1], worked out once by Newton's method.
constexpr int kGaussNodes = 12;
struct GaussRule {
    std::array<double, kGaussNodes> x{};
    std::array<double, kGaussNodes> w{};
    GaussRule()
    {
        constexpr int n = kGaussNodes;
        for (int i = 0; i < n; ++i) {
            double z = std::cos(kPi * (i + 0.75) / (n + 0.5));
            double dp = 1;
            for (int iter = 0; iter < 100; ++iter) {
                double p0 = 1, p1 = z;
                for (int k = 2; k <= n; ++k) {
                    const double p2 = ((2.0 * k - 1) * z * p1 - (k - 1.0) * p0) / k;
                    p0 = p1;
                    p1 = p2;
                }
                dp = n * (z * p1 - p0) / (z * z - 1);
                const double dz = p1 / dp;
                z -= dz;
                if (std::abs(dz) < 1e-16) break;
            }
            x[i] = 0.5 * (1 - z);
            w[i] = 1.0 / ((1 - z * z) * dp * dp);
        }
    }
};

const GaussRule& gauss()
{
    static const GaussRule rule;
    return rule;
}

// The integral of a smooth f over [lo, hi] on one panel.
template <typename F> double integrate(F f, double lo, double hi)
{
    const GaussRule& g = gauss();
    double sum = 0;
    for (int i = 0; i < kGaussNodes; ++i)
        sum += g.w[i] * f(lo + (hi - lo) * g.x[i]);
    return sum * (hi - lo);
}

// The integral of f over t in [lo, hi], on panels that grow from t = 0 by a factor 4: the
// substitutions below put the only sharp feature of the integrand at t = 0.
template <typename F> double integrateGraded(F f, double lo, double hi)
{
    constexpr std::array kEdges{0.0, 1.0 / 64, 1.0 / 16, 1.0 / 4, 1.0};
    const GaussRule& g = gauss();
    double sum = 0;
    for (std::size_t p = 0; p + 1 < kEdges.size(); ++p) {
        const double a = std::max(lo, kEdges[p]);
        const double b = std::min(hi, kEdges[p + 1]);
        if (b <= a) continue;
        double panel = 0;
        for (int i = 0; i < kGaussNodes; ++i)
            panel += g.w[i] * f(a + (b - a) * g.x[i]);
        sum += panel * (b - a);
    }
    return sum;
}

// The part of a disc of radius rho that lies more than d below its centre's height, d >= 0.
double segmentBelow(double rho, double d)
{
    if (rho <= d) return 0;
    return rho * rho * std::acos(d / rho) - d * std::sqrt(rho * rho - d * d);
}

// A spherical cap of a sphere of radius r, h deep; also the bottom of a vertical ellipsoidal
// end of depth r scaled by (R / r)^2.
double sphereCap(double r, double h)
{
    return kPi * h * h * (3 * r - h) / 3;
}

} // namespace

QString lengthUnitName(LengthUnit unit)
{
    return nameOf(kLengthUnits, unit);
}
QString volumeUnitName(VolumeUnit unit)
{
    return nameOf(kVolumeUnits, unit);
}
QString tankKindName(TankKind kind)
{
    return nameOf(kKinds, kind);
}
QString tankEndName(TankEnd end)
{
    return nameOf(kEnds, end);
}
std::optional<LengthUnit> lengthUnitFromName(const QString& name)
{
    return fromName<LengthUnit>(kLengthUnits, name);
}
std::optional<VolumeUnit> volumeUnitFromName(const QString& name)
{
    return fromName<VolumeUnit>(kVolumeUnits, name);
}
std::optional<TankKind> tankKindFromName(const QString& name)
{
    return fromName<TankKind>(kKinds, name);
}
std::optional<TankEnd> tankEndFromName(const QString& name)
{
    return fromName<TankEnd>(kEnds, name);
}
QStringList lengthUnitNames()
{
    return namesOf(kLengthUnits);
}
QStringList volumeUnitNames()
{
    return namesOf(kVolumeUnits);
}
QStringList tankKindNames()
{
    return namesOf(kKinds);
}
QStringList tankEndNames()
{
    return namesOf(kEnds);
}

double metresPer(LengthUnit unit)
{
    switch (unit) {
    case LengthUnit::Millimetre:
        return 0.001;
    case LengthUnit::Centimetre:
        return 0.01;
    case LengthUnit::Metre:
        return 1;
    case LengthUnit::Inch:
        return 0.0254;
    case LengthUnit::Foot:
        return 0.3048;
    }
    return 1;
}

double cubicMetresPer(VolumeUnit unit)
{
    constexpr double kUsGallon = 3.785411784e-3;
    switch (unit) {
    case VolumeUnit::Litre:
        return 0.001;
    case VolumeUnit::CubicMetre:
        return 1;
    case VolumeUnit::UsGallon:
        return kUsGallon;
    case VolumeUnit::OilBarrel:
        return 42 * kUsGallon;
    }
    return 1;
}

QString tankShapeRefusal(const TankShape& s)
{
    const auto positive = [](double v) { return std::isfinite(v) && v > 0; };
    const auto need = [](const char* what) {
        return QStringLiteral("The %1 must be a number greater than 0.").arg(QLatin1String(what));
    };
    switch (s.kind) {
    case TankKind::Box:
        if (!positive(s.length)) return need("length");
        if (!positive(s.width)) return need("width");
        if (!positive(s.height)) return need("height");
        return {};
    case TankKind::Sphere:
        return positive(s.diameter) ? QString() : need("diameter");
    case TankKind::VerticalCylinder:
    case TankKind::HorizontalCylinder:
        break;
    }
    const bool vertical = s.kind == TankKind::VerticalCylinder;
    if (!positive(s.diameter)) return need("diameter");
    if (vertical ? !(std::isfinite(s.height) && s.height >= 0)
                 : !(std::isfinite(s.length) && s.length >= 0))
        return vertical
                   ? QStringLiteral("The height of the straight part must be a number, 0 or more.")
                   : QStringLiteral("The length of the straight part must be a number, 0 or more.");
    const QString endWord = vertical ? QStringLiteral("bottom") : QStringLiteral("heads");
    if (!vertical && s.end == TankEnd::Cone)
        return QStringLiteral(
            "A horizontal cylinder's heads are flat, ellipsoidal, hemispherical or torispherical.");
    const bool takesDepth = s.end == TankEnd::Cone || s.end == TankEnd::Ellipsoidal;
    if (s.endDepth && !takesDepth)
        return QStringLiteral("The depth of %1 %2 follows from the diameter; give none.")
            .arg(tankEndName(s.end), endWord);
    if (s.end == TankEnd::Cone && !s.endDepth) return QStringLiteral("A cone needs its depth.");
    if (s.endDepth && !positive(*s.endDepth))
        return QStringLiteral("The depth of the %1 must be a number greater than 0.").arg(endWord);
    if ((s.crownRadius || s.knuckleRadius) && s.end != TankEnd::Torispherical)
        return QStringLiteral("Crown and knuckle radii belong to torispherical %1.").arg(endWord);
    if (s.end == TankEnd::Torispherical) {
        const double r = s.diameter / 2;
        const double crown = s.crownRadius.value_or(s.diameter);
        const double knuckle = s.knuckleRadius.value_or(kKnuckleRatio * s.diameter);
        if (!positive(knuckle) || !(knuckle < r))
            return QStringLiteral(
                "The knuckle radius must be greater than 0 and less than half the diameter.");
        if (!std::isfinite(crown) || !(crown >= r))
            return QStringLiteral("The crown radius must be at least half the diameter.");
    }
    return {};
}

double tankEndDepth(const TankShape& s)
{
    if (s.kind == TankKind::Box || s.kind == TankKind::Sphere) return 0;
    const double d = s.diameter;
    switch (s.end) {
    case TankEnd::Flat:
        return 0;
    case TankEnd::Cone:
        return s.endDepth.value_or(0);
    case TankEnd::Ellipsoidal:
        return s.endDepth.value_or(kEllipsoidalDepthRatio * d);
    case TankEnd::Hemispherical:
        return d / 2;
    case TankEnd::Torispherical: {
        const double crown = s.crownRadius.value_or(d);
        const double knuckle = s.knuckleRadius.value_or(kKnuckleRatio * d);
        const double axis = d / 2 - knuckle;
        return crown - std::sqrt((crown - knuckle) * (crown - knuckle) - axis * axis);
    }
    }
    return 0;
}

double tankHeight(const TankShape& s)
{
    switch (s.kind) {
    case TankKind::Box:
        return s.height;
    case TankKind::Sphere:
    case TankKind::HorizontalCylinder:
        return s.diameter;
    case TankKind::VerticalCylinder:
        return s.height + tankEndDepth(s);
    }
    return 0;
}

TankVolume::TankVolume(const TankShape& shape) : m_shape(shape), m_toMetres(metresPer(shape.unit))
{
    m_height = tankHeight(shape) * m_toMetres;
    m_radius = shape.diameter / 2 * m_toMetres;
    m_depth = tankEndDepth(shape) * m_toMetres;
    if (shape.end == TankEnd::Torispherical) {
        m_crown = shape.crownRadius.value_or(shape.diameter) * m_toMetres;
        m_knuckle = shape.knuckleRadius.value_or(kKnuckleRatio * shape.diameter) * m_toMetres;
        m_knuckleAxis = m_radius - m_knuckle;
        // The crown meets the knuckle on the line from the crown's centre through the knuckle's.
        m_crownAngle = std::asin(std::min(1.0, m_knuckleAxis / (m_crown - m_knuckle)));
        m_crownHeight = m_crown - m_crown * (m_crown - m_depth) / (m_crown - m_knuckle);
        if (shape.kind == TankKind::HorizontalCylinder) m_halfHeads = torisphericalHeads(m_radius);
    }
    m_full = filled(m_height);
}

double TankVolume::cubicMetresAt(double level) const
{
    const double h = level * m_toMetres;
    if (!(h > 0)) return 0;
    if (h >= m_height) return m_full;
    return filled(h);
}

double TankVolume::filled(double h) const
{
    const double r = m_radius;
    switch (m_shape.kind) {
    case TankKind::Box:
        return m_shape.length * m_shape.width * m_toMetres * m_toMetres * h;
    case TankKind::Sphere:
        return sphereCap(r, h);
    case TankKind::VerticalCylinder:
        return h <= m_depth ? verticalBottom(h)
                            : verticalBottom(m_depth) + kPi * r * r * (h - m_depth);
    case TankKind::HorizontalCylinder: {
        const double c = r - h;
        const double segment = r * r * std::acos(std::clamp(c / r, -1.0, 1.0)) -
                               c * std::sqrt(std::max(0.0, h * (2 * r - h)));
        return m_shape.length * m_toMetres * segment + horizontalHeads(h);
    }
    }
    return 0;
}

double TankVolume::verticalBottom(double h) const
{
    const double r = m_radius;
    const double b = m_depth;
    switch (m_shape.end) {
    case TankEnd::Flat:
        return 0;
    case TankEnd::Cone:
        return kPi * r * r * h * h * h / (3 * b * b);
    case TankEnd::Ellipsoidal:
    case TankEnd::Hemispherical:
        // Half an ellipsoid of semi-axes r, r, b: a sphere's cap stretched by r / b sideways.
        return sphereCap(b, h) * (r * r) / (b * b);
    case TankEnd::Torispherical: {
        if (h <= m_crownHeight) return sphereCap(m_crown, h);
        // The knuckle: radius a + sqrt(k^2 - u^2) at u = b - h below the tangent line.
        const double a = m_knuckleAxis;
        const double k = m_knuckle;
        const auto antiderivative = [&](double u) {
            return (a * a + k * k) * u - u * u * u / 3 +
                   a * (u * std::sqrt(std::max(0.0, k * k - u * u)) +
                        k * k * std::asin(std::clamp(u / k, -1.0, 1.0)));
        };
        return sphereCap(m_crown, m_crownHeight) +
               kPi * (antiderivative(b - m_crownHeight) - antiderivative(b - h));
    }
    }
    return 0;
}

double TankVolume::horizontalHeads(double h) const
{
    const double r = m_radius;
    switch (m_shape.end) {
    case TankEnd::Flat:
    case TankEnd::Cone:
        return 0;
    case TankEnd::Ellipsoidal:
    case TankEnd::Hemispherical:
        // Both heads make an ellipsoid of semi-axes b, r, r: a sphere's cap squeezed by b / r.
        return sphereCap(r, h) * m_depth / r;
    case TankEnd::Torispherical:
        // The lower half is integrated; the upper is the full heads less the empty part.
        return h > r ? 2 * m_halfHeads - torisphericalHeads(2 * r - h) : torisphericalHeads(h);
    }
    return 0;
}

// Both torispherical heads of a horizontal tank filled to h <= r. Each head is a solid of
// revolution about the tank's axis; a slice across the axis at distance x from the tangent line
// is a disc of radius rho(x), filled to d = r - h below its centre. The knuckle is followed by
// its angle phi (x = k sin phi, rho = a + k cos phi), the crown by rho itself; in both the
// substitution puts the point where rho = d, past which nothing is filled, at t = 0, where the
// filled part of the disc grows as t^3 and the integrand is smooth.
double TankVolume::torisphericalHeads(double h) const
{
    const double d = m_radius - h;
    const double a = m_knuckleAxis;
    const double k = m_knuckle;
    const double c = m_crown;
    const double crownRho = c * std::sin(m_crownAngle); // where the crown meets the knuckle
    const double knuckleEnd = std::acos(std::clamp(a / (c - k), -1.0, 1.0)); // its angle phi

    double knuckle = 0;
    const auto knuckleSlice = [&](double phi) {
        return segmentBelow(a + k * std::cos(phi), d) * k * std::cos(phi);
    };
    if (d <= a - k) {
        knuckle = integrate(knuckleSlice, 0, knuckleEnd); // every slice of the knuckle is cut
    } else {
        const double edge = std::acos(std::clamp((d - a) / k, -1.0, 1.0)); // rho(edge) = d
        const double upper = std::min(edge, knuckleEnd);
        if (edge > 0) {
            // phi = edge (1 - t^2), t from sqrt(1 - upper / edge) to 1.
            knuckle = integrateGraded(
                [&](double t) { return knuckleSlice(edge * (1 - t * t)) * 2 * edge * t; },
                std::sqrt(std::max(0.0, 1 - upper / edge)), 1);
        }
    }
    double crown = 0;
    if (d < crownRho) {
        // rho = d + (crownRho - d) t^2; dx = rho / sqrt(c^2 - rho^2) drho.
        const double span = crownRho - d;
        crown = integrateGraded(
            [&](double t) {
                const double rho = d + span * t * t;
                return segmentBelow(rho, d) * rho / std::sqrt(c * c - rho * rho) * 2 * span * t;
            },
            0, 1);
    }
    return 2 * (knuckle + crown);
}

} // namespace kaldor
