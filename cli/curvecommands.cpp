#include "cli/curvecommands.h"

#include "cli/commandparser.h"
#include "cli/filecommands.h"
#include "curves/curvefit.h"
#include "curves/curvesource.h"
#include "store/fileextensions.h"
#include "store/limits.h"

namespace kaldor::cli {

namespace {

const QString kCurve = QStringLiteral("curve");
const QString kImport = QStringLiteral("import");

// The options of a parsed command line as numbers and choices; the first value that is wrong
// is kept in error.
struct Options {
    const CommandParser& parsed;
    QString error;

    bool has(const QString& name) const { return parsed.isSet(name); }
    QString text(const QString& name) const { return parsed.value(name).value_or(QString()); }
    std::optional<double> number(const QString& name)
    {
        if (!has(name)) return std::nullopt;
        bool ok = false;
        const double v = text(name).toDouble(&ok);
        if ((!ok || !std::isfinite(v)) && error.isEmpty())
            error = QStringLiteral("%1 takes a number, not '%2'").arg(name, text(name));
        return ok ? std::optional<double>(v) : std::nullopt;
    }
    template <typename E>
    std::optional<E> choice(const QString& name, std::optional<E> (*read)(const QString&),
                            const QStringList& names)
    {
        if (!has(name)) return std::nullopt;
        const auto v = read(text(name));
        if (!v && error.isEmpty())
            error = QStringLiteral("%1 takes %2, not '%3'").arg(name, names.join(u'|'), text(name));
        return v;
    }
};

// Declares every option named, each taking a value.
void declare(CommandParser& line, const QStringList& names)
{
    for (const QString& name : names)
        line.option(name, name.mid(2).toUpper());
}

// --points N or --max-error E (100 points when neither).
std::optional<PointRequest> pointRequest(Options& o)
{
    if (o.has(QStringLiteral("--points")) && o.has(QStringLiteral("--max-error"))) {
        o.error = QStringLiteral("give --points or --max-error, not both");
        return std::nullopt;
    }
    if (const auto e = o.number(QStringLiteral("--max-error"))) return PointRequest::maxError(*e);
    if (!o.has(QStringLiteral("--points"))) return PointRequest::points(kDefaultCurvePoints);
    bool ok = false;
    const int n = o.text(QStringLiteral("--points")).toInt(&ok);
    if (!ok || n < 2 || n > CurveTable::kRows) {
        o.error =
            QStringLiteral("--points takes a whole number from 2 to %1").arg(CurveTable::kRows);
        return std::nullopt;
    }
    return PointRequest::points(n);
}

// The tank number and the output file, checked before any work.
QString outputError(const CommandParser& p, int words)
{
    if (p.words().size() != words)
        return words == 1 ? QStringLiteral("name one output file OUT.tnk")
                          : QStringLiteral("name the table and one output file OUT.tnk");
    if (!hasTankExtension(p.words().last()))
        return QStringLiteral("the output must be a tank file (.tnk)");
    const QString tank = p.value(QStringLiteral("--tank")).value_or(QString());
    bool ok = false;
    if (!limits::isTankNumber(tank.toInt(&ok)) || !ok)
        return QStringLiteral("--tank takes a tank number %1 to %2")
            .arg(limits::kMinTankNumber)
            .arg(limits::kMaxTankNumber);
    return {};
}

// Prints the points and the error, then writes the tank file.
int finish(const CurveFit& fit, const CommandParser& p, const GlobalOptions& options,
           QTextStream& out, QTextStream& err)
{
    if (!fit.ok()) {
        err << fit.refusal << '\n';
        return kExitRefused;
    }
    for (const LevelPoint& point : fit.points)
        out << QString::number(point.percent(), 'f', 2) << '\t' << point.value << '\n';
    out << curveFitSummary(fit) << '\n';
    const TankFileSave saved =
        saveCurveTankFile(p.words().last(), p.value(QStringLiteral("--tank")).value_or(QString()),
                          fit.points, options.offsetMode);
    printMessages(saved.messages, out, err);
    return saved.ok ? kExitOk : kExitRefused;
}

int curve(const QStringList& args, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CommandParser p(kCurve, options);
    declare(p, {"--shape", "--diameter", "--length", "--height", "--width", "--heads", "--bottom",
                "--head-depth", "--bottom-depth", "--crown-radius", "--knuckle-radius", "--unit",
                "--volume-unit", "--scale", "--level-zero", "--level-span", "--points",
                "--max-error", "--tank"});
    if (!p.parse(args, err)) return kExitUsage;
    Options o{p, {}};
    const auto kind =
        o.choice<TankKind>(QStringLiteral("--shape"), tankKindFromName, tankKindNames());
    if (!o.error.isEmpty() || !kind)
        return usageError(kCurve,
                          o.error.isEmpty()
                              ? QStringLiteral("--shape is needed: ") + tankKindNames().join(u'|')
                              : o.error,
                          err);
    // The dimensions each shape takes: needed, then optional.
    QStringList needed;
    QStringList optional;
    switch (*kind) {
    case TankKind::VerticalCylinder:
        needed = {"--diameter", "--height"};
        optional = {"--bottom", "--bottom-depth", "--crown-radius", "--knuckle-radius"};
        break;
    case TankKind::HorizontalCylinder:
        needed = {"--diameter", "--length"};
        optional = {"--heads", "--head-depth", "--crown-radius", "--knuckle-radius"};
        break;
    case TankKind::Sphere:
        needed = {"--diameter"};
        break;
    case TankKind::Box:
        needed = {"--length", "--width", "--height"};
        break;
    }
    const QStringList dimensions{
        "--diameter", "--length",     "--height",       "--width",        "--heads",
        "--bottom",   "--head-depth", "--bottom-depth", "--crown-radius", "--knuckle-radius"};
    for (const QString& name : dimensions) {
        if (o.has(name) && !needed.contains(name) && !optional.contains(name))
            return usageError(
                kCurve,
                QStringLiteral("%1 is not a dimension of a %2").arg(name, tankKindName(*kind)),
                err);
    }
    for (const QString& name : needed)
        if (!o.has(name))
            return usageError(kCurve,
                              QStringLiteral("a %1 needs %2")
                                  .arg(tankKindName(*kind), needed.join(QStringLiteral(", "))),
                              err);

    TankShape shape;
    shape.kind = *kind;
    shape.unit =
        o.choice<LengthUnit>(QStringLiteral("--unit"), lengthUnitFromName, lengthUnitNames())
            .value_or(LengthUnit::Millimetre);
    shape.diameter = o.number(QStringLiteral("--diameter")).value_or(0);
    shape.length = o.number(QStringLiteral("--length")).value_or(0);
    shape.height = o.number(QStringLiteral("--height")).value_or(0);
    shape.width = o.number(QStringLiteral("--width")).value_or(0);
    // A vertical tank has a bottom, a horizontal one heads; each its own depth option.
    const bool vertical = *kind == TankKind::VerticalCylinder;
    const QString endOption = vertical ? QStringLiteral("--bottom") : QStringLiteral("--heads");
    const QString depthOption =
        vertical ? QStringLiteral("--bottom-depth") : QStringLiteral("--head-depth");
    shape.end =
        o.choice<TankEnd>(endOption, tankEndFromName, tankEndNames()).value_or(TankEnd::Flat);
    shape.endDepth = o.number(depthOption);
    shape.crownRadius = o.number(QStringLiteral("--crown-radius"));
    shape.knuckleRadius = o.number(QStringLiteral("--knuckle-radius"));
    const VolumeUnit volumeUnit =
        o.choice<VolumeUnit>(QStringLiteral("--volume-unit"), volumeUnitFromName, volumeUnitNames())
            .value_or(VolumeUnit::Litre);
    const double scale = o.number(QStringLiteral("--scale")).value_or(1);
    const LevelRange range{o.number(QStringLiteral("--level-zero")),
                           o.number(QStringLiteral("--level-span"))};
    const auto request = pointRequest(o);
    if (o.error.isEmpty()) o.error = outputError(p, 1);
    if (!o.error.isEmpty()) return usageError(kCurve, o.error, err);
    if (const int status = refuseOutputs({}, {{p.words().last(), OutputForm::TankFile}}, err);
        status != kExitOk)
        return status;
    return finish(curveFromShape(shape, range, volumeUnit, scale, *request, options.offsetMode), p,
                  options, out, err);
}

int import(const QStringList& args, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CommandParser p(kImport, options);
    declare(p, {"--unit", "--level-zero", "--level-span", "--scale", "--points", "--max-error",
                "--tank"});
    if (!p.parse(args, err)) return kExitUsage;
    Options o{p, {}};
    // Without --unit the unit the table's header names stands, else percent.
    const bool unitGiven = o.has(QStringLiteral("--unit"));
    QString unit = p.value(QStringLiteral("--unit")).value_or(QStringLiteral("percent"));
    if (unit != QLatin1String("percent") && !lengthUnitFromName(unit))
        return usageError(kImport,
                          QStringLiteral("--unit takes percent|%1, not '%2'")
                              .arg(lengthUnitNames().join(u'|'), unit),
                          err);
    const bool ranged =
        o.has(QStringLiteral("--level-zero")) || o.has(QStringLiteral("--level-span"));
    const QString rangeNeedsLength =
        QStringLiteral("--level-zero and --level-span go with a length --unit");
    if (unitGiven && unit == QLatin1String("percent") && ranged)
        return usageError(kImport, rangeNeedsLength, err);
    const double scale = o.number(QStringLiteral("--scale")).value_or(1);
    const LevelRange range{o.number(QStringLiteral("--level-zero")),
                           o.number(QStringLiteral("--level-span"))};
    const auto request = pointRequest(o);
    if (o.error.isEmpty()) o.error = outputError(p, 2);
    if (!o.error.isEmpty()) return usageError(kImport, o.error, err);
    if (const int status =
            refuseOutputs({p.words().first()}, {{p.words().last(), OutputForm::TankFile}}, err);
        status != kExitOk)
        return status;
    const StrappingTable table = readStrappingTable(p.words().first());
    if (!unitGiven && table.ok() && !table.levelUnit.isEmpty()) {
        unit = table.levelUnit;
        out << headerUnitText(table) << '\n';
    }
    const bool percent = unit == QLatin1String("percent");
    if (percent && ranged) return usageError(kImport, rangeNeedsLength, err);
    return finish(curveFromTable(table, percent, range, scale, *request, options.offsetMode), p,
                  options, out, err);
}

} // namespace

bool isCurveCommand(const QString& command)
{
    return command == kCurve || command == kImport;
}

int runCurveCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                    QTextStream& out, QTextStream& err)
{
    return command == kCurve ? curve(args, options, out, err) : import(args, options, out, err);
}

QString curveCommandsHelp()
{
    return QStringLiteral(
        "  curve --shape SHAPE DIMENSIONS [--unit U] [--volume-unit V] [--scale S]\n"
        "        [--level-zero H0] [--level-span SPAN] [--points N | --max-error E] --tank T "
        "OUT.tnk\n"
        "                            a tank file whose curve follows the tank's shape; prints the\n"
        "                            points and the largest error with its level. SHAPE and "
        "DIMENSIONS:\n"
        "                              vertical-cylinder --diameter --height [--bottom END] "
        "[--bottom-depth]\n"
        "                              horizontal-cylinder --diameter --length [--heads END] "
        "[--head-depth]\n"
        "                              sphere --diameter;  box --length --width --height\n"
        "                            END flat|cone|ellipsoidal|hemispherical|torispherical "
        "(torispherical\n"
        "                            also takes --crown-radius, --knuckle-radius); U mm "
        "(default)|cm|m|in|ft;\n"
        "                            V l (default)|m3|gal|bbl; 100 points unless asked\n"
        "  import TABLE.csv [--unit percent|mm|cm|m|in|ft] [--level-zero H0] [--level-span SPAN]\n"
        "        [--scale S] [--points N | --max-error E] --tank T OUT.tnk\n"
        "                            a tank file from a strapping table (level, volume rows); the\n"
        "                            levels are in the unit the header names unless --unit is\n"
        "                            given, else in percent\n"
        "\n"
        "Examples:\n"
        "  kaldorctl curve --shape horizontal-cylinder --diameter 2000 --length 6000 --heads "
        "ellipsoidal\n"
        "        --volume-unit m3 --scale 100 --max-error 1 --tank 4 diesel.tnk\n"
        "  kaldorctl import strapping.csv --unit mm --scale 0.1 --tank 4 diesel.tnk\n");
}

} // namespace kaldor::cli
