#include "cli/filecommands.h"

#include "construct/indicatorbuilder.h"
#include "editor/curvecheck.h"
#include "editor/tankfile.h"
#include "store/celltexts.h"
#include "store/fileextensions.h"
#include "store/indicatorfile.h"
#include "store/tankrecords.h"

#include <QDir>

namespace kaldor::cli {

namespace {

// Loads and decodes an indicator file as the viewer does; prints why when it cannot.
std::optional<DecodeResult> loadTanks(const QString& path, QTextStream& err)
{
    const IndicatorFileLoad load = loadIndicatorFile(path);
    switch (load.status) {
    case LoadStatus::Ok:
        break;
    case LoadStatus::NotFound:
        err << path << ": file not found\n";
        return std::nullopt;
    case LoadStatus::EndOfData:
    case LoadStatus::Failed:
        err << load.message << '\n';
        if (!load.detail.isEmpty() && load.detail != load.message)
            err << path << ": " << load.detail << '\n';
        return std::nullopt;
    }
    DecodeResult decoded = decodeTankRecords(load.image);
    if (!decoded.ok()) {
        err << errorText(decoded.errorNumber) << '\n';
        if (!decoded.detail.isEmpty())
            err << path << ": " << decoded.detail << '\n';
        return std::nullopt;
    }
    if (decoded.tankCount == 0) {
        err << "No tank data\n";
        return std::nullopt;
    }
    return decoded;
}

int show(const QStringList& args, const GlobalOptions& options, QTextStream& out, QTextStream& err)
{
    QString path;
    std::optional<int> tank;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tank") && i + 1 < args.size()) {
            bool ok = false;
            tank = args[++i].toInt(&ok);
            if (!ok) {
                err << "kaldorctl show: --tank takes a tank number, not " << args[i] << '\n';
                return kExitUsage;
            }
        } else if (path.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            path = args[i];
        } else {
            err << "kaldorctl show: unexpected argument " << args[i] << '\n';
            return kExitUsage;
        }
    }
    if (path.isEmpty()) {
        err << "kaldorctl show: name an indicator file\n";
        return kExitUsage;
    }
    const auto decoded = loadTanks(path, err);
    if (!decoded)
        return kExitRefused;
    if (!tank) {
        for (const TankRecord& record : decoded->records)
            out << tankListText(record.tankNumber) << '\t' << record.start << '\t'
                << record.words.size() << '\n';
        return kExitOk;
    }
    for (const TankRecord& record : decoded->records) {
        if (record.tankNumber != *tank)
            continue;
        for (const CellRow& row : curveCellRows(record, options.offsetMode))
            out << row.value << '\t' << row.percent << '\n';
        return kExitOk;
    }
    err << "Tank " << *tank << " is not in " << path << '\n';
    return kExitRefused;
}

int build(const QStringList& args, const GlobalOptions& options, QTextStream& out, QTextStream& err)
{
    if (args.size() < 2) {
        err << "kaldorctl build: name the output file and at least one tank file\n";
        return kExitUsage;
    }
    const QString target = args.first();
    if (!hasIndicatorExtension(target)) {
        err << "Wrong file extension\n";
        return kExitRefused;
    }
    BuildState state;
    const BuildResult built =
        buildIndicatorImage(args.mid(1), QDir::current(), options.offsetMode, state);
    printMessages(built.messages, out, err);
    if (!built.ok)
        return kExitRefused;
    const FileWriteResult saved = writeConstructedFile(target, state.image, state.totalLength);
    if (!saved.ok) {
        err << errorText(saved.errorNumber) << '\n' << target << ": " << saved.detail << '\n';
        return kExitRefused;
    }
    out << target << " saved.\n";
    return kExitOk;
}

int check(const QStringList& args, const GlobalOptions& options, QTextStream& out, QTextStream& err)
{
    if (args.size() != 1) {
        err << "kaldorctl check: name one tank file\n";
        return kExitUsage;
    }
    CurveTable table;
    const TankFileOpen opened = openTankFile(args.first(), options.offsetMode, table);
    printMessages(opened.messages, out, err);
    if (!opened.ok)
        return kExitRefused;
    int pointCount = opened.pointCount.value_or(0);
    const CurveCheck checked = validateCurve(table, pointCount);
    printMessages(checked.messages, out, err);
    if (!checked.curveValid)
        return kExitRefused;
    const EncodedCurve encoded = encodeCurve(table, pointCount, options.offsetMode);
    printMessages(encoded.messages, out, err);
    if (!encoded.ok)
        return kExitRefused;
    out << "full scale\t" << encoded.fullScale << '\t' << int(encoded.fullScaleHigh) << ' '
        << int(encoded.fullScaleLow) << '\n';
    if (options.offsetMode)
        out << "offset\t" << encoded.offset << '\t' << int(encoded.offsetHigh) << ' ' << int(encoded.offsetLow)
            << '\n';
    for (int r = 0; r < pointCount; ++r) {
        const auto byte = [&](int i) { return int(std::uint8_t(encoded.pointBytes.at(4 * r + i))); };
        out << "point " << r + 1 << '\t' << byte(0) << ' ' << byte(1) << ' ' << byte(2) << ' '
            << byte(3) << '\n';
    }
    return kExitOk;
}

} // namespace

void printMessages(const Messages& messages, QTextStream& out, QTextStream& err)
{
    for (const Message& m : messages)
        (m.kind == MessageKind::Info ? out : err) << m.text << '\n';
}

bool isFileCommand(const QString& command)
{
    return command == QLatin1String("show") || command == QLatin1String("build") ||
           command == QLatin1String("check");
}

QString fileCommandsHelp()
{
    return QStringLiteral(
        "  show FILE                 list the tanks of an indicator file: list text, start, words\n"
        "  show FILE --tank N        the curve of tank N as the viewer's grid shows it\n"
        "  check TANK.tnk            check and encode a tank file as the editor does\n"
        "  build OUT.idr TANK.tnk... build an indicator file from tank files, in this order\n"
        "\n"
        "Examples:\n"
        "  kaldorctl show samples/three-tanks.idr\n"
        "  kaldorctl show samples/three-tanks.idr --tank 12\n"
        "  kaldorctl --no-offset check diesel.tnk\n"
        "  kaldorctl build plant.idr diesel.tnk water.tnk\n");
}

int runFileCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                   QTextStream& out, QTextStream& err)
{
    if (command == QLatin1String("show"))
        return show(args, options, out, err);
    if (command == QLatin1String("build"))
        return build(args, options, out, err);
    return check(args, options, out, err);
}

} // namespace kaldor::cli
