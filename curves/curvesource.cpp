#include "curves/curvesource.h"

#include "store/textrules.h"

namespace kaldor {

namespace {

QString length(double value, const TankShape& shape)
{
    return plainNumber(value, 10) + QLatin1Char(' ') + lengthUnitName(shape.unit);
}

QString kindWords(TankKind kind)
{
    return tankKindName(kind).replace(QLatin1Char('-'), QLatin1Char(' '));
}

} // namespace

QString tankShapeText(const TankShape& shape)
{
    QStringList parts{kindWords(shape.kind)};
    switch (shape.kind) {
    case TankKind::VerticalCylinder:
        parts << QStringLiteral("diameter ") + length(shape.diameter, shape)
              << QStringLiteral("straight height ") + length(shape.height, shape);
        break;
    case TankKind::HorizontalCylinder:
        parts << QStringLiteral("diameter ") + length(shape.diameter, shape)
              << QStringLiteral("straight length ") + length(shape.length, shape);
        break;
    case TankKind::Sphere:
        parts << QStringLiteral("diameter ") + length(shape.diameter, shape);
        break;
    case TankKind::Box:
        parts << QStringLiteral("length ") + length(shape.length, shape)
              << QStringLiteral("width ") + length(shape.width, shape)
              << QStringLiteral("height ") + length(shape.height, shape);
        break;
    }
    if (shape.kind == TankKind::VerticalCylinder || shape.kind == TankKind::HorizontalCylinder) {
        QString end = tankEndName(shape.end) + (shape.kind == TankKind::VerticalCylinder
                                                    ? QStringLiteral(" bottom")
                                                    : QStringLiteral(" heads"));
        if (shape.endDepth && (shape.end == TankEnd::Cone || shape.end == TankEnd::Ellipsoidal))
            end += QLatin1Char(' ') + length(*shape.endDepth, shape) + QStringLiteral(" deep");
        if (shape.end == TankEnd::Torispherical) {
            if (shape.crownRadius)
                end += QStringLiteral(", crown radius ") + length(*shape.crownRadius, shape);
            if (shape.knuckleRadius)
                end += QStringLiteral(", knuckle radius ") + length(*shape.knuckleRadius, shape);
        }
        parts << end;
    }
    return parts.join(QStringLiteral(", "));
}

QString headerUnitText(const StrappingTable& table)
{
    if (table.levelUnit.isEmpty()) return {};
    return QStringLiteral("Levels in %1, as the header '%2' names them.")
        .arg(table.levelUnit, table.header);
}

QString curveFitSummary(const CurveFit& fit)
{
    if (!fit.ok()) return fit.refusal;
    const QString summary =
        QStringLiteral("%1 points; largest error %2 units (%3 % of full value) at level %4 %")
            .arg(fit.points.size())
            .arg(QString::number(fit.largestError, 'f', 3),
                 QString::number(fit.largestErrorPercent, 'f', 3),
                 QString::number(fit.largestErrorStep / 100.0, 'f', 2));
    return fit.note.isEmpty() ? summary : summary + QStringLiteral("; ") + fit.note;
}

} // namespace kaldor
