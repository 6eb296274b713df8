#include "cli/linkcommands.h"

#include "cli/commandparser.h"
#include "cli/filecommands.h"
#include "editor/tanksend.h"
#include "link/exchanges.h"
#include "link/safewrite.h"
#include "link/serialport.h"
#include "link/stopsignal.h"
#include "link/tracelog.h"
#include "store/atomicfile.h"
#include "store/curvecheck.h"
#include "store/imagecompare.h"
#include "store/indicatorfile.h"
#include "store/indicatortanks.h"
#include "store/tankfile.h"
#include "store/tankrecords.h"

#include <cstring>
#include <memory>

namespace kaldor::cli {

namespace {

// Each command runs its exchange straight through on the QSerialPort backend: no event loop,
// no thread, the same waits as the windows.
struct OpenedPort {
    std::unique_ptr<SerialPort> port;
    int status = kExitOk;
};

// The traffic log of this run, when --trace asked for one. Every exchange of the run ends in
// finish(), which adds its outcome.
std::shared_ptr<TraceLog> runTrace;
// Enough for a read, a write and a second read of the largest image.
constexpr int kTraceCapacity = 1 << 18;

OpenedPort openPort(const GlobalOptions& options, QTextStream& err)
{
    OpenedPort opened;
    if (options.port.isEmpty()) {
        err << "kaldorctl: this command needs --port DEVICE (1 to 4, a device path or a "
               "network address)\n";
        opened.status = kExitUsage;
        return opened;
    }
    QString problem;
    const std::optional<PortSpec> portSpec = PortSpec::parse(options.port, &problem);
    if (!portSpec) {
        if (!problem.isEmpty())
            err << "kaldorctl: --port " << problem << '\n';
        else
            err << "kaldorctl: --port takes 1 to 4, a device path or tcp://HOST:PORT or "
                   "rfc2217://HOST:PORT, not "
                << options.port << '\n';
        opened.status = kExitUsage;
        return opened;
    }
    opened.port = makeSerialPort(*portSpec);
    if (runTrace) opened.port = std::make_unique<TracingPort>(std::move(opened.port), runTrace);
    const PortStatus status = opened.port->open();
    if (!status.ok()) {
        if (status.error == PortError::HeldByOther)
            err << "Port unavailable. Choose another port." << '\n';
        err << status.text << '\n';
        opened.status = kExitRefused;
    }
    return opened;
}

int finish(const ExchangeResult& result, const Messages& messages, QTextStream& out,
           QTextStream& err)
{
    if (runTrace) runTrace->recordOutcome(result);
    printMessages(messages, out, err);
    return result.done() ? kExitOk : kExitRefused;
}

// --backup DIR and --verify, anywhere after the command word of write, send-tank and clear.
// Without them the command sends exactly what it always did.
void addSafeWriteOptions(CommandParser& line)
{
    line.option(QStringLiteral("--backup"), QStringLiteral("DIR"))
        .option(QStringLiteral("--verify"));
}

SafeWriteOptions safeWriteOptions(const CommandParser& line, const GlobalOptions& options)
{
    SafeWriteOptions safe;
    safe.offsetMode = options.offsetMode;
    safe.verify = line.isSet(QStringLiteral("--verify"));
    safe.backupFolder = line.value(QStringLiteral("--backup")).value_or(QString());
    return safe;
}

// The run's outputs, the --trace file among them, held against its inputs before the port
// is opened.
int refuseRunOutputs(const GlobalOptions& options, const QStringList& inputs,
                     QList<OutputFile> outputs, QTextStream& err)
{
    if (!options.trace.isEmpty()) outputs.append({options.trace, OutputForm::Trace});
    return refuseOutputs(inputs, outputs, err);
}

bool wantsSafeWrite(const SafeWriteOptions& safe)
{
    return safe.verify || !safe.backupFolder.isEmpty();
}

// A tank file the one check refused, said as the commands that send a tank say it.
int refuseTankFile(const TankFileCheck& checked, QTextStream& err)
{
    if (checked.detail.isEmpty())
        printMessages(checked.messages, err, err);
    else
        err << checked.detail << "; nothing was sent.\n";
    return kExitRefused;
}

int finishSafeWrite(const SafeWrite& s, QTextStream& out, QTextStream& err)
{
    printMessages(s.messages, out, err);
    if (s.outcome == SafeWriteOutcome::VerifyFailed) return kExitVerifyFailed;
    return s.ok() ? kExitOk : kExitRefused;
}

int readCommand(const QStringList& words, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CommandParser line(QStringLiteral("read"), options);
    if (!line.parse(words, err)) return kExitUsage;
    const QStringList& args = line.words();
    if (args.size() != 1)
        return usageError(line.command(), QStringLiteral("name one file to write"), err);
    if (const int status =
            refuseRunOutputs(options, {}, {{args.first(), OutputForm::IndicatorFile}}, err);
        status != kExitOk)
        return status;
    OpenedPort opened = openPort(options, err);
    if (!opened.port || opened.status != kExitOk) return opened.status;
    ExchangeContext ctx{*opened.port, {}, {}, &stopOnTerminationSignals()};
    // OUT is the user's file, not the program's working file: a failed read leaves whatever
    // was there before, and the file is written (atomically) only once the whole image is in.
    const Download d = downloadIndicatorFile(ctx, args.first(), FailedDownload::KeepFile);
    if (d.result.outcome == Outcome::Failed && !d.result.detail.isEmpty())
        err << d.result.detail << '\n';
    return finish(d.result, downloadMessages(d.result, DownloadVariant::MainWindow), out, err);
}

int writeCommandLine(const QStringList& words, GlobalOptions options, QTextStream& out,
                     QTextStream& err)
{
    CommandParser line(QStringLiteral("write"), options);
    addSafeWriteOptions(line);
    line.option(QStringLiteral("--allow-loss"));
    if (!line.parse(words, err)) return kExitUsage;
    SafeWriteOptions safe = safeWriteOptions(line, options);
    // With --backup the meter is read before the write: an image that would remove tanks the
    // meter holds is written only when the loss is asked for.
    if (!line.isSet(QStringLiteral("--allow-loss")))
        safe.approveLoss = [](const ImageChanges&, const std::atomic_bool*) { return false; };
    const QStringList& args = line.words();
    if (args.size() != 1)
        return usageError(line.command(), QStringLiteral("name one indicator file to send"), err);
    if (const int status = refuseRunOutputs(options, args, {}, err); status != kExitOk)
        return status;
    // The whole file is read and checked before the port is touched.
    const UploadPreparation prep = uploadSourceFromFile(args.first(), UploadVariant::MainWindow);
    if (!prep.source) {
        printMessages(prep.messages, out, err);
        if (prep.messages.value(0).text != prep.detail) err << prep.detail << '\n';
        return kExitRefused;
    }
    OpenedPort opened = openPort(options, err);
    if (!opened.port || opened.status != kExitOk) return opened.status;
    ExchangeContext ctx{*opened.port, {}, {}, &stopOnTerminationSignals()};
    if (wantsSafeWrite(safe)) {
        const SafeWrite s = safeUpload(ctx, *prep.source, UploadVariant::MainWindow, safe);
        const int status = finishSafeWrite(s, out, err);
        if (s.outcome == SafeWriteOutcome::NotWritten)
            err << "Give --allow-loss to write it all the same.\n";
        return status;
    }
    const ExchangeResult r = uploadImage(ctx, *prep.source, UploadVariant::MainWindow);
    return finish(r, uploadMessages(r), out, err);
}

int sendTankCommand(const QStringList& words, GlobalOptions options, QTextStream& out,
                    QTextStream& err)
{
    CommandParser line(QStringLiteral("send-tank"), options);
    addSafeWriteOptions(line);
    line.option(QStringLiteral("--tank"), QStringLiteral("N"))
        .option(QStringLiteral("--image"), QStringLiteral("FILE"));
    if (!line.parse(words, err)) return kExitUsage;
    const SafeWriteOptions safe = safeWriteOptions(line, options);
    const std::optional<QString> tankOption = line.value(QStringLiteral("--tank"));
    const std::optional<QString> imageOption = line.value(QStringLiteral("--image"));
    if (line.words().size() != 1)
        return usageError(
            line.command(),
            QStringLiteral("name one tank file: send-tank TANK.tnk [--tank N] [--image FILE] "
                           "[--backup DIR] [--verify]"),
            err);
    const QString tankFile = line.words().constFirst();
    const QString imagePath = imageOption.value_or(QString());
    if (const int status = refuseRunOutputs(options, {tankFile, imagePath}, {}, err);
        status != kExitOk)
        return status;

    const TankFileCheck checked = checkTankFile(tankFile, options.offsetMode);
    if (!checked.ok) return refuseTankFile(checked, err);
    const QString tankText = tankOption ? *tankOption : checked.tankNumberText;

    QList<int> loaded;
    if (!imagePath.isEmpty()) {
        // An image without tanks has no number the tank could clash with.
        const IndicatorTanks tanks = loadIndicatorTanks(imagePath);
        if (!tanks.ok() && tanks.status != TanksStatus::NoTanks) {
            err << tanks.detail
                << "; the tank numbers in it cannot be checked, nothing was sent.\n";
            return kExitRefused;
        }
        for (const TankRecord& record : tanks.records)
            loaded.append(record.tankNumber);
    }

    const TankSendPreparation prep =
        prepareTankSend(checked.table, checked.pointCount, tankText, loaded, options.offsetMode);
    if (!prep.send) {
        printMessages(prep.messages, out, err);
        return kExitRefused;
    }
    OpenedPort port = openPort(options, err);
    if (!port.port || port.status != kExitOk) return port.status;
    ExchangeContext ctx{*port.port, {}, {}, &stopOnTerminationSignals()};
    // The tool keeps no working file, so there is none to delete afterwards.
    if (wantsSafeWrite(safe))
        return finishSafeWrite(safeSendTank(ctx, *prep.send, QString(), safe), out, err);
    const ExchangeResult r = sendTankCurve(ctx, *prep.send, QString());
    return finish(r, sendTankMessages(r), out, err);
}

int replaceTankCommand(const QStringList& words, GlobalOptions options, QTextStream& out,
                       QTextStream& err)
{
    CommandParser line(QStringLiteral("replace-tank"), options);
    line.option(QStringLiteral("--tank"), QStringLiteral("N"))
        .option(QStringLiteral("--backup"), QStringLiteral("DIR"));
    if (!line.parse(words, err)) return kExitUsage;
    if (line.words().size() != 1)
        return usageError(
            line.command(),
            QStringLiteral("name one tank file: replace-tank TANK.tnk [--tank N] [--backup DIR]"),
            err);
    const QString tankFile = line.words().constFirst();
    if (const int status = refuseRunOutputs(options, {tankFile}, {}, err); status != kExitOk)
        return status;
    const TankFileCheck checked = checkTankFile(tankFile, options.offsetMode);
    if (!checked.ok) return refuseTankFile(checked, err);
    const TankSendPreparation prep =
        prepareTankSend(checked.table, checked.pointCount,
                        line.value(QStringLiteral("--tank")).value_or(checked.tankNumberText), {},
                        options.offsetMode);
    if (!prep.send) {
        printMessages(prep.messages, out, err);
        return kExitRefused;
    }
    SafeWriteOptions safe;
    safe.offsetMode = options.offsetMode;
    safe.verify = true;
    safe.backupFolder = line.value(QStringLiteral("--backup")).value_or(QString());
    OpenedPort opened = openPort(options, err);
    if (!opened.port || opened.status != kExitOk) return opened.status;
    ExchangeContext ctx{*opened.port, {}, {}, &stopOnTerminationSignals()};
    return finishSafeWrite(safeReplaceTank(ctx, *prep.send, safe), out, err);
}

int clearCommand(const QStringList& words, GlobalOptions options, QTextStream& out,
                 QTextStream& err)
{
    CommandParser line(QStringLiteral("clear"), options);
    addSafeWriteOptions(line);
    if (!line.parse(words, err)) return kExitUsage;
    const SafeWriteOptions safe = safeWriteOptions(line, options);
    if (!line.words().isEmpty())
        return usageError(line.command(),
                          QStringLiteral("takes no arguments but --backup DIR and --verify"), err);
    if (const int status = refuseRunOutputs(options, {}, {}, err); status != kExitOk) return status;
    OpenedPort opened = openPort(options, err);
    if (!opened.port || opened.status != kExitOk) return opened.status;
    ExchangeContext ctx{*opened.port, {}, {}, &stopOnTerminationSignals()};
    if (wantsSafeWrite(safe)) return finishSafeWrite(safeClear(ctx, safe), out, err);
    const ExchangeResult r = sendClearCommand(ctx);
    return finish(r, clearMessages(r), out, err);
}

// One side of a diff: an indicator file, or "meter" read over --port.
std::optional<IndicatorImage> diffSide(const QString& name, const GlobalOptions& options,
                                       QTextStream& err)
{
    if (name != QLatin1String("meter")) {
        const IndicatorFileLoad load = loadIndicatorFile(name);
        if (load.ok()) return load.image;
        err << fileRefusal(name, load.detail.isEmpty() ? load.message : load.detail) << '\n';
        return std::nullopt;
    }
    OpenedPort opened = openPort(options, err);
    if (!opened.port || opened.status != kExitOk) return std::nullopt;
    ExchangeContext ctx{*opened.port, {}, {}, &stopOnTerminationSignals()};
    const Download d = downloadImage(ctx);
    if (d.result.done()) return d.image;
    printMessages(downloadMessages(d.result, DownloadVariant::MainWindow), err, err);
    return std::nullopt;
}

int diffCommand(const QStringList& words, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CommandParser line(QStringLiteral("diff"), options);
    if (!line.parse(words, err)) return kExitUsage;
    const QStringList& args = line.words();
    if (args.size() != 2)
        return usageError(line.command(),
                          QStringLiteral("name two images: indicator files or meter"), err);
    QStringList files = args;
    files.removeAll(QStringLiteral("meter"));
    // 1 would say "different": a run that compares nothing ends as one that cannot read a side.
    if (refuseRunOutputs(options, files, {}, err) != kExitOk) return kExitUsage;
    const std::optional<IndicatorImage> a = diffSide(args[0], options, err);
    if (!a) return kExitUsage;
    const std::optional<IndicatorImage> b = diffSide(args[1], options, err);
    if (!b) return kExitUsage;
    const ImageComparison c = compareImages(*a, *b, options.offsetMode);
    if (!c.undecodable.isEmpty())
        err << "kaldorctl: not read as tanks, compared byte by byte: " << c.undecodable << '\n';
    for (const QString& line : differenceLines(c, args[0], args[1]))
        out << line << '\n';
    return c.identical ? kExitOk : kExitDifferent;
}

int keyCommand(const QStringList& words, GlobalOptions options, QTextStream& out, QTextStream& err)
{
    CommandParser line(QStringLiteral("key"), options);
    if (!line.parse(words, err)) return kExitUsage;
    const QStringList& args = line.words();
    const std::optional<KeypadKey> key =
        args.size() == 1 ? keypadKeyFromLetters(args.first().toUpper()) : std::nullopt;
    if (!key)
        return usageError(line.command(), QStringLiteral("name one key: PG, UP, DN or SW"), err);
    if (const int status = refuseRunOutputs(options, {}, {}, err); status != kExitOk) return status;
    OpenedPort opened = openPort(options, err);
    if (!opened.port || opened.status != kExitOk) return opened.status;
    ExchangeContext ctx{*opened.port, {}, {}, &stopOnTerminationSignals()};
    // "PG" opens the keypad: what waits at the port is dropped first, as the keypad window does.
    const ExchangeResult r = sendKeypadCommand(ctx, *key, *key == KeypadKey::Program);
    return finish(r, keypadMessages(r), out, err);
}

} // namespace

bool isLinkCommand(const QString& command)
{
    static const QStringList commands = {
        QStringLiteral("read"),         QStringLiteral("write"), QStringLiteral("send-tank"),
        QStringLiteral("replace-tank"), QStringLiteral("clear"), QStringLiteral("key"),
        QStringLiteral("diff")};
    return commands.contains(command);
}

namespace {
int runCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
               QTextStream& out, QTextStream& err)
{
    if (command == QLatin1String("read")) return readCommand(args, options, out, err);
    if (command == QLatin1String("write")) return writeCommandLine(args, options, out, err);
    if (command == QLatin1String("send-tank")) return sendTankCommand(args, options, out, err);
    if (command == QLatin1String("replace-tank"))
        return replaceTankCommand(args, options, out, err);
    if (command == QLatin1String("clear")) return clearCommand(args, options, out, err);
    if (command == QLatin1String("diff")) return diffCommand(args, options, out, err);
    return keyCommand(args, options, out, err);
}
} // namespace

int runLinkCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                   QTextStream& out, QTextStream& err)
{
    // From here on SIGTERM or SIGINT stops the exchange at its next wait instead of the process.
    stopOnTerminationSignals();
    if (!options.trace.isEmpty()) runTrace = std::make_shared<TraceLog>(kTraceCapacity);
    int status = runCommand(command, args, options, out, err);
    // Written whatever the outcome once the line was tried: a failed or stopped exchange is
    // when the log is wanted most. A command refused before it reached the port has none.
    if (runTrace && runTrace->recorded() > 0) {
        const FileWriteResult written = writeFileAtomically(
            options.trace,
            formatTraceLog(runTrace->entries(), runTrace->started(), runTrace->dropped()));
        if (!written.ok) {
            err << fileRefusal(options.trace, written.detail) << '\n';
            if (status == kExitOk) status = kExitRefused;
        }
    }
    runTrace.reset();
    if (const int signal = stopSignalNumber(); signal != 0) {
        err << "kaldorctl: stopped by signal " << signal << " (" << strsignal(signal) << ")\n";
        status = kExitSignalled + signal;
    }
    return status;
}

QString linkCommandsHelp()
{
    return QStringLiteral(
        "  read OUT                  read the whole image from the meter into OUT (working file "
        "form)\n"
        "  write FILE                send an indicator file to the meter\n"
        "  send-tank TANK.tnk [--tank N] [--image FILE]\n"
        "                            send one tank; --image checks the number against its tanks\n"
        "  clear                     erase all tank data in the meter\n"
        "  write, send-tank and clear also take:\n"
        "    --backup DIR            first read the meter into DIR/meter-DATE-TIME.idr (the "
        "newest\n"
        "                            100 are kept); when that read fails nothing is written\n"
        "    --verify                read the meter back and check it holds what was sent\n"
        "                            (exit status 3 when it does not)\n"
        "    write --backup refuses an image that lacks tanks the meter holds, naming them,\n"
        "    unless --allow-loss is given\n"
        "  replace-tank TANK.tnk [--tank N] [--backup DIR]\n"
        "                            put one tank's curve in place of the meter's tank N (added\n"
        "                            after the others when the meter has none): reads the meter,\n"
        "                            writes the whole image again and verifies it (exit status 3\n"
        "                            on a difference)\n"
        "  diff A B                  compare two images, indicator files or meter: one line per "
        "tank\n"
        "                            that differs (exit status 0 the same, 1 different, 2 "
        "unreadable)\n"
        "  key PG|UP|DN|SW           press a key of the program-and-calibrate keypad\n"
        "\n"
        "Examples:\n"
        "  kaldorctl --port /dev/ttyUSB0 read All1.DAT\n"
        "  kaldorctl --port 2 send-tank diesel.tnk --tank 7 --image All1.DAT\n");
}

} // namespace kaldor::cli
