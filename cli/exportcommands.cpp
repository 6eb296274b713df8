#include "cli/exportcommands.h"

#include "cli/commandparser.h"
#include "cli/filecommands.h"
#include "curves/curvecsv.h"
#include "sheet/calibrationsheet.h"
#include "sheet/sheetpainter.h"
#include "store/atomicfile.h"
#include "store/fileextensions.h"
#include "store/inputfile.h"
#include "store/tankfile.h"

#include <QFileInfo>

#include <cstring>

namespace kaldor::cli {

namespace {

const QString kExport = QStringLiteral("export");
const QString kSheet = QStringLiteral("sheet");

struct CurveArgs {
    QString file;
    QString output;
    std::optional<CurveChoice> choice;
};

// FILE [--tank N | --entry K] [OUT]: the status is kExitOk when the words were understood.
int parseCurveArgs(const QString& command, const QStringList& args, GlobalOptions& options,
                   CurveArgs& parsed, QTextStream& err)
{
    CommandParser line(command, options);
    addCurveChoice(line);
    if (!line.parse(args, err)) return kExitUsage;
    if (const int status = readCurveChoice(line, parsed.choice, err); status != kExitOk)
        return status;
    const QStringList& words = line.words();
    if (words.size() > 2)
        return usageError(command, QStringLiteral("unexpected argument '%1'").arg(words.at(2)),
                          err);
    parsed.file = words.value(0);
    parsed.output = words.value(1);
    if (parsed.file.isEmpty())
        return usageError(command, QStringLiteral("name a tank file or an indicator file"), err);
    if (parsed.choice && hasTankExtension(QFileInfo(parsed.file).fileName()))
        return usageError(
            command,
            QStringLiteral(
                "a tank file holds one curve; --tank and --entry are for indicator files"),
            err);
    return kExitOk;
}

// The output (stdout without one) held against the file read, before anything is written.
int refuseOutput(const CurveArgs& parsed, OutputForm form, QTextStream& err)
{
    QList<OutputFile> outputs;
    if (!parsed.output.isEmpty()) outputs.append({parsed.output, form});
    return refuseOutputs({parsed.file}, outputs, err);
}

bool isTankFile(const QString& path)
{
    return hasTankExtension(QFileInfo(path).fileName());
}

QString sourceOf(const QString& path)
{
    return QStringLiteral("file ") + QFileInfo(path).fileName();
}

int saved(const QString& path, const FileWriteResult& written, QTextStream& out, QTextStream& err)
{
    if (!written.ok)
        return refused(errorText(written.errorNumber), fileRefusal(path, written.detail), err);
    out << path << " saved.\n";
    return kExitOk;
}

// The image's records that the choice names: every one without a choice.
std::optional<QVector<TankRecord>> chosenRecords(const CurveArgs& parsed, QTextStream& err)
{
    IndicatorTanks tanks = loadIndicatorTanks(parsed.file);
    if (!tanks.ok()) {
        refused(tanks.message, tanks.detail, err);
        return std::nullopt;
    }
    if (!parsed.choice) return tanks.records;
    const std::optional<qsizetype> entry = chosenEntry(tanks, *parsed.choice, parsed.file, err);
    if (!entry) return std::nullopt;
    return QVector<TankRecord>{tanks.records.at(*entry)};
}

int exportCsv(const QStringList& args, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CurveArgs parsed;
    if (const int status = parseCurveArgs(kExport, args, options, parsed, err); status != kExitOk)
        return status;
    if (const int status = refuseOutput(parsed, OutputForm::Csv, err); status != kExitOk)
        return status;
    QByteArray csv;
    if (isTankFile(parsed.file)) {
        // The check and the rows the editor's Export CSV takes; stdout may carry the CSV.
        const TankFileCheck checked = checkTankFile(parsed.file, options.offsetMode);
        printMessages(checked.messages, err, err);
        if (!checked.ok) return refused({}, checked.detail, err);
        csv = curveCsv(checked.table, checked.pointCount);
    } else {
        const auto records = chosenRecords(parsed, err);
        if (!records) return kExitRefused;
        if (parsed.choice) {
            csv = curveCsv(curveCellRows(records->constFirst(), options.offsetMode));
        } else {
            QVector<TankCsvCurve> tanks;
            for (const TankRecord& record : *records)
                tanks.append(
                    TankCsvCurve{record.tankNumber, curveCellRows(record, options.offsetMode)});
            csv = tanksCsv(tanks);
        }
    }
    if (parsed.output.isEmpty()) {
        out << QString::fromLatin1(csv);
        return kExitOk;
    }
    return saved(parsed.output, writeFileAtomically(parsed.output, csv), out, err);
}

int sheet(const QStringList& args, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CurveArgs parsed;
    if (const int status = parseCurveArgs(kSheet, args, options, parsed, err); status != kExitOk)
        return status;
    if (parsed.output.isEmpty())
        return usageError(kSheet, QStringLiteral("name the PDF file to write"), err);
    if (const int status = refuseOutput(parsed, OutputForm::Pdf, err); status != kExitOk)
        return status;
    QList<CalibrationSheet> sheets;
    if (isTankFile(parsed.file)) {
        const TankFileCheck checked = checkTankFile(parsed.file, options.offsetMode);
        printMessages(checked.messages, out, err);
        if (!checked.ok) return refused({}, checked.detail, err);
        const SheetBuild built =
            sheetFromTable(checked.table, checked.pointCount, checked.tankNumber,
                           options.offsetMode, sourceOf(parsed.file));
        printMessages(built.messages, out, err);
        if (!built.sheet) return kExitRefused;
        sheets.append(*built.sheet);
    } else {
        const auto records = chosenRecords(parsed, err);
        if (!records) return kExitRefused;
        for (const TankRecord& record : *records)
            sheets.append(sheetFromRecord(record, options.offsetMode, sourceOf(parsed.file)));
    }
    return saved(parsed.output, writeCalibrationSheetPdf(parsed.output, sheets), out, err);
}

} // namespace

bool isExportCommand(const QString& command)
{
    return command == kExport || command == kSheet;
}

int runExportCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                     QTextStream& out, QTextStream& err)
{
    return command == kExport ? exportCsv(args, options, out, err) : sheet(args, options, out, err);
}

QString exportCommandsHelp()
{
    return QStringLiteral(
        "  export FILE [--tank N | --entry K] [OUT.csv]\n"
        "                            a curve as CSV (percent,value), or every tank of an\n"
        "                            indicator file (tank,percent,value); stdout without OUT\n"
        "  sheet FILE [--tank N | --entry K] OUT.pdf\n"
        "                            the calibration sheet: a page per tank\n"
        "\n"
        "Examples:\n"
        "  kaldorctl export samples/tanks/water.tnk water.csv\n"
        "  kaldorctl sheet samples/three-tanks.idr --tank 12 tank12.pdf\n");
}

bool needsGuiApplication(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "sheet") == 0) return true;
    }
    return false;
}

} // namespace kaldor::cli
