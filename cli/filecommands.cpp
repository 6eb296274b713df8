#include "cli/filecommands.h"

#include "cli/commandparser.h"

#include "construct/indicatorbuilder.h"
#include "store/celltexts.h"
#include "store/curvecheck.h"
#include "store/fileextensions.h"
#include "store/indicatorfile.h"
#include "store/indicatortanks.h"
#include "store/inputfile.h"
#include "store/limits.h"
#include "store/tankfile.h"

#include <QDir>

namespace kaldor::cli {

int usageError(const QString& command, const QString& text, QTextStream& err)
{
    err << "kaldorctl " << command << ": " << text << '\n';
    return kExitUsage;
}

// A refusal the core reports as the window's text and the detail that names the file.
int refused(const QString& message, const QString& detail, QTextStream& err)
{
    if (!message.isEmpty()) err << message << '\n';
    if (!detail.isEmpty()) err << detail << '\n';
    return kExitRefused;
}

int refuseOutputs(const QStringList& inputs, const QList<OutputFile>& outputs, QTextStream& err)
{
    std::optional<QString> refusal = outputRefusal(outputs, inputs);
    if (!refusal) refusal = standardOutputRefusal(inputs);
    return refusal ? refused(*refusal, {}, err) : kExitOk;
}

void addCurveChoice(CommandParser& line)
{
    line.option(QStringLiteral("--tank"), QStringLiteral("N"))
        .option(QStringLiteral("--entry"), QStringLiteral("K"));
}

int readCurveChoice(const CommandParser& line, std::optional<CurveChoice>& choice, QTextStream& err)
{
    const std::optional<QString> tankText = line.value(QStringLiteral("--tank"));
    const std::optional<QString> entryText = line.value(QStringLiteral("--entry"));
    if (tankText && entryText)
        return usageError(line.command(), QStringLiteral("give one --tank or one --entry"), err);
    if (!tankText && !entryText) return kExitOk;
    const bool tank = tankText.has_value();
    const QString text = tank ? *tankText : *entryText;
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || (tank ? !limits::isTankNumber(n) : n < 1))
        return usageError(
            line.command(),
            tank ? QStringLiteral("--tank takes a tank number %1 to %2, not '%3'")
                       .arg(limits::kMinTankNumber)
                       .arg(limits::kMaxTankNumber)
                       .arg(text)
                 : QStringLiteral("--entry takes a directory position from 1, not '%1'").arg(text),
            err);
    choice = CurveChoice{tank ? QStringLiteral("--tank") : QStringLiteral("--entry"), n};
    return kExitOk;
}

std::optional<qsizetype> chosenEntry(const IndicatorTanks& tanks, const CurveChoice& choice,
                                     const QString& path, QTextStream& err)
{
    qsizetype entry = choice.number - 1;
    if (choice.option == QLatin1String("--tank")) {
        QStringList others; // the directory positions of the tank, from 1
        entry = -1;
        for (qsizetype k = 0; k < tanks.records.size(); ++k) {
            if (tanks.records[k].tankNumber != choice.number) continue;
            if (entry < 0)
                entry = k;
            else
                others.append(QString::number(k + 1));
        }
        if (entry < 0) {
            err << "Tank " << choice.number << " is not in " << path << '\n';
            return std::nullopt;
        }
        if (!others.isEmpty())
            err << path << ": tank " << choice.number << " is entry " << entry + 1
                << " and also entry " << others.join(QStringLiteral(", "))
                << "; --entry K shows each\n";
    } else if (entry >= tanks.records.size()) {
        err << path << ": there is no entry " << choice.number << "; the directory has "
            << tanks.records.size() << " entries\n";
        return std::nullopt;
    }
    return entry;
}

namespace {

int show(const QStringList& args, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    const QString cmd = QStringLiteral("show");
    CommandParser line(cmd, options);
    addCurveChoice(line);
    if (!line.parse(args, err)) return kExitUsage;
    std::optional<CurveChoice> choice;
    if (const int status = readCurveChoice(line, choice, err); status != kExitOk) return status;
    if (line.words().size() > 1)
        return usageError(cmd, QStringLiteral("unexpected argument '%1'").arg(line.words().at(1)),
                          err);
    const QString path = line.words().value(0);
    if (path.isEmpty()) return usageError(cmd, QStringLiteral("name an indicator file"), err);
    if (const int status = refuseOutputs({path}, {}, err); status != kExitOk) return status;
    const IndicatorTanks tanks = loadIndicatorTanks(path);
    if (!tanks.ok()) return refused(tanks.message, tanks.detail, err);
    if (!choice) {
        for (const TankRecord& record : tanks.records)
            out << tankListText(record.tankNumber) << '\t' << record.start << '\t'
                << record.words.size() << '\n';
        return kExitOk;
    }
    const std::optional<qsizetype> entry = chosenEntry(tanks, *choice, path, err);
    if (!entry) return kExitRefused;
    for (const CellRow& row : curveCellRows(tanks.records.at(*entry), options.offsetMode))
        out << row.value << '\t' << row.percent << '\n';
    return kExitOk;
}

int build(const QStringList& words, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CommandParser line(QStringLiteral("build"), options);
    if (!line.parse(words, err)) return kExitUsage;
    const QStringList& args = line.words();
    if (args.size() < 2)
        return usageError(QStringLiteral("build"),
                          QStringLiteral("name the output file and at least one tank file"), err);
    const QString target = args.first();
    const QStringList sources = args.mid(1);
    if (!hasIndicatorExtension(target)) {
        err << kWrongExtensionMessage << '\n';
        return kExitRefused;
    }
    if (const auto clash = outputAmongSources(target, sources, QDir::current()))
        return refused(*clash, {}, err);
    if (const int status = refuseOutputs(sources, {{target, OutputForm::IndicatorFile}}, err);
        status != kExitOk)
        return status;
    BuildState state;
    const BuildResult built =
        buildIndicatorImage(sources, QDir::current(), options.offsetMode, state);
    printMessages(built.messages, out, err);
    if (!built.ok) return kExitRefused;
    const FileWriteResult saved = writeConstructedFile(target, state.image, state.totalLength);
    if (!saved.ok)
        return refused(errorText(saved.errorNumber), fileRefusal(target, saved.detail), err);
    out << target << " saved.\n";
    return kExitOk;
}

int check(const QStringList& words, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CommandParser line(QStringLiteral("check"), options);
    if (!line.parse(words, err)) return kExitUsage;
    const QStringList& args = line.words();
    if (args.size() != 1)
        return usageError(QStringLiteral("check"), QStringLiteral("name one tank file"), err);
    if (const int status = refuseOutputs(args, {}, err); status != kExitOk) return status;
    const TankFileCheck checked = checkTankFile(args.first(), options.offsetMode);
    printMessages(checked.messages, out, err);
    if (!checked.ok) return refused({}, checked.detail, err);
    const int pointCount = checked.pointCount;
    const EncodedCurve& encoded = checked.encoded;
    out << "full scale\t" << encoded.fullScale << '\t' << int(encoded.fullScaleHigh) << ' '
        << int(encoded.fullScaleLow) << '\n';
    if (options.offsetMode)
        out << "offset\t" << encoded.offset << '\t' << int(encoded.offsetHigh) << ' '
            << int(encoded.offsetLow) << '\n';
    for (int r = 0; r < pointCount; ++r) {
        const auto byte = [&](int i) {
            return int(std::uint8_t(encoded.pointBytes.at(4 * r + i)));
        };
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
    if (command == QLatin1String("show")) return show(args, options, out, err);
    if (command == QLatin1String("build")) return build(args, options, out, err);
    return check(args, options, out, err);
}

} // namespace kaldor::cli
