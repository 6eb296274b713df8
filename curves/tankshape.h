#pragma once
// Tank shapes and their volumes. A shape is drawn from its dimensions, all in one length unit;
// the level is measured in that unit from the tank's lowest point. Volumes are exact closed forms,
// except the torispherical heads of a horizontal tank, whose volume is a Gauss-Legendre integral
// accurate to well under 1e-9 of the full volume.

#include <QString>
#include <QStringList>
#include <optional>

namespace kaldor {

enum class LengthUnit { Millimetre, Centimetre, Metre, Inch, Foot };
enum class VolumeUnit { Litre, CubicMetre, UsGallon, OilBarrel };
enum class TankKind { VerticalCylinder, HorizontalCylinder, Sphere, Box };
// The bottom of a vertical cylinder, or both heads of a horizontal one.
enum class TankEnd { Flat, Cone, Ellipsoidal, Hemispherical, Torispherical };

// Names as options and labels spell them: mm cm m in ft; l m3 gal (US) bbl (oil, 42 gal);
// vertical-cylinder horizontal-cylinder sphere box; flat cone ellipsoidal hemispherical
// torispherical. The readers take these names and nothing else.
QString lengthUnitName(LengthUnit unit);
QString volumeUnitName(VolumeUnit unit);
QString tankKindName(TankKind kind);
QString tankEndName(TankEnd end);
std::optional<LengthUnit> lengthUnitFromName(const QString& name);
std::optional<VolumeUnit> volumeUnitFromName(const QString& name);
std::optional<TankKind> tankKindFromName(const QString& name);
std::optional<TankEnd> tankEndFromName(const QString& name);
QStringList lengthUnitNames();
QStringList volumeUnitNames();
QStringList tankKindNames();
QStringList tankEndNames();

double metresPer(LengthUnit unit);
double cubicMetresPer(VolumeUnit unit); // l 0.001, US gal 3.785411784 l, oil bbl 42 US gal

struct TankShape {
    TankKind kind = TankKind::HorizontalCylinder;
    LengthUnit unit = LengthUnit::Millimetre;
    double diameter = 0;         // cylinders and sphere
    double length = 0;           // horizontal cylinder: the straight part; box
    double height = 0;           // vertical cylinder: the straight part; box
    double width = 0;            // box
    TankEnd end = TankEnd::Flat; // vertical: the bottom (its top is flat); horizontal: both heads
    // Cone: its depth, needed. Ellipsoidal: D/4 (a 2:1 head) unless given. Hemispherical D/2
    // and torispherical (from its radii) take none.
    std::optional<double> endDepth;
    std::optional<double> crownRadius;   // torispherical: D unless given
    std::optional<double> knuckleRadius; // torispherical: 0.06 D unless given
};

// Why the shape cannot be computed, in words for a message or a dialog ("The diameter must be
// greater than 0."); empty when it can. Every other function here takes a sound shape.
QString tankShapeRefusal(const TankShape& shape);

// The depth of the bottom or of each head in the shape's unit (0 when flat), for drawing it.
double tankEndDepth(const TankShape& shape);
// From the lowest to the highest point, in the shape's unit: the default level span.
double tankHeight(const TankShape& shape);

// The volume of a sound shape filled to a level.
class TankVolume {
public:
    explicit TankVolume(const TankShape& shape);
    // Level in the shape's unit from the lowest point; below 0 gives 0 and above the top the
    // full volume.
    double cubicMetresAt(double level) const;
    double fullCubicMetres() const { return m_full; }

private:
    double filled(double h) const; // h in metres within 0 .. m_height
    double verticalBottom(double h) const;
    double horizontalHeads(double h) const;
    double torisphericalHeads(double h) const;

    TankShape m_shape;
    double m_toMetres = 1;
    double m_height = 0; // metres
    double m_radius = 0;
    double m_depth = 0; // end depth, metres
    // Torispherical: crown and knuckle radii, the knuckle centre's distance from the axis, and
    // where the crown meets the knuckle (height above the apex; angle from the axis).
    double m_crown = 0;
    double m_knuckle = 0;
    double m_knuckleAxis = 0;
    double m_crownHeight = 0;
    double m_crownAngle = 0;
    double m_halfHeads = 0; // horizontal torispherical heads filled to the axis
    double m_full = 0;
};

} // namespace kaldor
