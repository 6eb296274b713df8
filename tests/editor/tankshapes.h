#pragma once
// Tank shapes for the tests, by their measures in the shape's unit.

#include "curves/tankshape.h"

#include <optional>

namespace kaldor::testing {

inline TankShape verticalShape(double d, double h, TankEnd end, std::optional<double> depth = {},
                               LengthUnit u = LengthUnit::Millimetre)
{
    return {TankKind::VerticalCylinder, u, d, 0, h, 0, end, depth, {}, {}};
}

inline TankShape horizontalShape(double d, double l, TankEnd end, std::optional<double> depth = {},
                                 LengthUnit u = LengthUnit::Millimetre)
{
    return {TankKind::HorizontalCylinder, u, d, l, 0, 0, end, depth, {}, {}};
}

inline TankShape sphereShape(double d, LengthUnit u)
{
    return {TankKind::Sphere, u, d, 0, 0, 0, TankEnd::Flat, {}, {}, {}};
}

inline TankShape boxShape(double length, double height, double width, LengthUnit u)
{
    return {TankKind::Box, u, 0, length, height, width, TankEnd::Flat, {}, {}, {}};
}

} // namespace kaldor::testing
