// kaldorctl on the wire: every command against kaldor-sim over a pseudo-terminal, through the
// real QSerialPort backend, as separate processes: what each prints, its exit status, the files
// it leaves and what the meter holds afterwards; every byte value passes both ways; meter
// faults and a line that dies give their messages and leave no stray file; a refusal names the
// file or the device and says why; a device held under another name and a line that takes no
// byte are failures; the same exchanges through kaldor-sim as a serial device server.

#include "ctlrun.h"
#include "link/qtserialport.h"
#include "sim/ptymeter.h"
#include "store/indicatorfile.h"
#include "store/indicatorimage.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>
#include <QFileInfo>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

// kaldor-sim with the sample image, in a folder of its own: at its end it saves what the meter
// holds and, in hex, every byte it received.
struct Sim {
    QTemporaryDir dir;
    QProcess process;
    QString device;
    QString saved() const { return dir.filePath(QStringLiteral("meter.idr")); }
    bool start(const QString& faults)
    {
        // The sample image unless the row names another: kaldor-sim takes one --image.
        const QStringList image =
            faults.contains(QLatin1String("--image"))
                ? QStringList{}
                : QStringList{"--image", sample(QStringLiteral("three-tanks.idr"))};
        process.start(QStringLiteral(KALDOR_SIM_PATH),
                      image +
                          QStringList{"--save", saved(), "--received",
                                      dir.filePath(QStringLiteral("received.hex"))} +
                          faults.split(u' ', Qt::SkipEmptyParts));
        if (!process.waitForStarted() || !process.waitForReadyRead(5000)) return false;
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
        return true;
    }
    bool stop()
    {
        process.terminate();
        return process.waitForFinished(5000);
    }
    QByteArray received() const
    {
        return QByteArray::fromHex(readFile(dir.filePath(QStringLiteral("received.hex"))));
    }
};

} // namespace

class TestKaldorctlWire : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        m_everyByte = m_dir.filePath(QStringLiteral("every.idr"));
        QVERIFY(writeIndicatorFile(m_everyByte, 32, IndicatorImage::fromBytes(all), 0).ok);
    }

    // In the words of a row, WATER, IMAGE, EVERY, ZERO and JUNK stand for the sample tank file, the
    // sample image, an image of every byte value, one with no room for the header and a file that
    // is not an indicator file; OUT for a file in a fresh folder, DIR a folder, BK the backups
    // folder, DEV the device (in err).
    void commands_data()
    {
        QTest::addColumn<QString>("faults"); // given to kaldor-sim
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");    // all of stdout, * standing for a backup's time
        QTest::addColumn<QString>("err");    // how stderr begins
        QTest::addColumn<int>("tanksAfter"); // on the meter
        QTest::addColumn<QString>(
            "outImage");                      // the file whose image OUT holds afterwards, or empty
        QTest::addColumn<QList<int>>("kept"); // backups and read-backs left in BK
        QTest::addColumn<QByteArray>("wire"); // every byte the meter received, when given
        const auto row = [](const char* name, const char* faults, const char* args, int status,
                            const char* out, const char* err, int tanksAfter,
                            const char* outImage = "", QList<int> kept = {0, 0},
                            const QByteArray& wire = {}) {
            QTest::newRow(name) << QString(faults) << QString(args) << status << QString(out)
                                << QString(err) << tanksAfter << QString(outImage) << kept << wire;
        };
        // Without --backup and --verify a command puts exactly its own bytes on the wire.
        const IndicatorImage image =
            loadIndicatorFile(sample(QStringLiteral("three-tanks.idr"))).image;
        const QByteArray upload = QByteArray("\x02"
                                             "AD\r") +
                                  char(image.blockCount() / 256) + char(image.blockCount() % 256) +
                                  image.bytes() + image.bytes().right(1);
        // The water sample as tank 9: full scale 1000, offset 50, its three points.
        const QByteArray tank9 =
            QByteArray::fromHex("0243440d09001003e800320000000040013fff7fff7fff");

        row("read", "", "read OUT", 0, "Indicator Data Read\n", "", 3, "IMAGE");
        row("read, meter stops after two blocks", "--fault AU:2:stop", "read OUT", 1, "",
            "Comm timeout  4", 3);
        row("write", "", "write IMAGE", 0, "Data Sent\n", "", 3, "", {0, 0}, upload);
        row("write, block refused", "--fault AD:4:nack", "write IMAGE", 1, "", "Data not complete",
            3);
        row("write, missing file", "", "write OUT", 1, "", "Get Indicator data first \nOUT: ", 3);
        row("write, no room for the header", "", "write ZERO", 1, "",
            "ZERO: the image holds 0 bytes, too few for the meter's header", 3);
        row("clear", "", "clear", 0, "Clear Command Sent\n", "", 0, "", {0, 0},
            "\x02"
            "CL\r");
        row("key", "", "key SW", 0, "", "", 3);
        row("send-tank, a new number for the image", "", "send-tank WATER --image IMAGE --tank 9",
            0, "Tank data sent.\n", "", 4, "", {0, 0}, tank9);
        row("send-tank, number in use in the image", "", "send-tank WATER --image IMAGE", 1, "",
            "Tank number already in use.", 3);
        row("send-tank, a folder", "", "send-tank DIR", 1, "", "DIR: ", 3);
        row("send-tank, image not an indicator file", "", "send-tank WATER --image JUNK", 1, "",
            "JUNK: ", 3);
        row("send-tank, meter refuses a data byte", "--fault CD:5:nack", "send-tank WATER", 1, "",
            "", 3);
        // Every byte value passes unchanged both ways; a line that dies mid-read is a failure, said
        // in the program's words, not with the system's last error of some other call.
        row("read every byte value", "--image EVERY", "read OUT", 0, "Indicator Data Read\n", "",
            16, "EVERY");
        row("read, line closes during a block", "--fault AU:4:close", "read OUT", 1, "",
            "The line on DEV failed (nothing more could be read from it)", 3);
        // --backup and --verify: the backup is kept, a read that fails stops the write, a meter
        // that stores something else gives exit status 3 and says what (the messages are
        // tst_safewrite's).
        row("write, backup and verify", "", "write EVERY --backup BK --verify", 0,
            "Data Sent\nWhat the meter held before the write is kept in BK/meter-*.idr\n"
            "Verified: the meter holds what was sent.\n",
            "", 16, "", {1, 0});
        row("write, meter stores a wrong byte", "--fault AD:101:store",
            "write IMAGE --verify --backup=BK", 3,
            "Data Sent\nWhat the meter held before the write is kept in BK/meter-*.idr\n",
            "The meter does not hold what was sent. Address 100: 0 was sent, the meter holds 255. "
            "What the meter "
            "holds now is kept in BK/readback-",
            3, "", {1, 1});
        row("send-tank, backup read refused", "--fault AU:1:nack",
            "send-tank WATER --tank 9 --backup BK", 1, "",
            "The meter could not be read before the write (Indicator not ready  1). Nothing was "
            "written.\n",
            3);
        // replace-tank reads first and verifies after, in the tank's place or after the others.
        row("replace-tank in place", "", "replace-tank WATER --backup BK", 0,
            "Tank 3 replaced in the meter.\nWhat the meter held before the write is kept in "
            "BK/meter-*.idr\nVerified: the meter holds what was sent.\n",
            "", 3, "", {1, 0});
        row("replace-tank, a tank added", "", "replace-tank WATER --tank 9", 0,
            "Tank 9 added after the meter's tanks.\nVerified: the meter holds what was sent.\n", "",
            4);
        row("replace-tank, meter stores a wrong byte", "--fault AD:101:store", "replace-tank WATER",
            3, "Tank 3 replaced in the meter.\n", "The meter does not hold what was sent.", 3);
        row("write --backup, the image lacks the meter's tanks", "", "write WATERIMG --backup BK",
            1, "What the meter holds is kept in BK/meter-*.idr\n",
            "The meter holds tanks 12 and 7, which the image to be written does not: writing "
            "it removes them from the meter. Nothing was written.\nGive --allow-loss to write "
            "it all the same.\n",
            3, "", {1, 0});
        row("write --backup --allow-loss", "", "write WATERIMG --backup BK --allow-loss", 0,
            "Data Sent\nWhat the meter held before the write is kept in BK/meter-*.idr\n", "", 1,
            "", {1, 0});
        // A value that is an option is no value: the meter is not cleared, no folder is made.
        row("--backup takes an option for its folder", "", "clear --backup --verify", 2, "",
            "kaldorctl clear: --backup needs a value, not the option --verify", 3);
    }

    void commands()
    {
        QFETCH(QString, faults);
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QString, outImage);
        QFETCH(QList<int>, kept);
        QFETCH(QByteArray, wire);

        QTemporaryDir dir;
        const QString outFile = dir.filePath(QStringLiteral("out.idr"));
        const QString folder = dir.filePath(QStringLiteral("folder"));
        const QString backups = dir.filePath(QStringLiteral("backups"));
        QVERIFY(QDir().mkpath(folder));
        const QList<std::pair<QString, QString>> names = {
            {"BK", backups},
            {"WATERIMG", dataPath("water-only.idr")}, // before WATER, which it begins with
            {"WATER", sample(QStringLiteral("tanks/water.tnk"))},
            {"IMAGE", sample(QStringLiteral("three-tanks.idr"))},
            {"EVERY", m_everyByte},
            {"ZERO", dataPath("zero-blocks.idr")},
            {"JUNK", dataPath("junk.idr")},
            {"OUT", outFile},
            {"DIR", folder}};
        for (const auto& [name, path] : names) {
            for (QString* text : {&faults, &args, &out, &err, &outImage})
                text->replace(name, path);
        }
        Sim sim;
        if (!sim.start(faults)) QSKIP("kaldor-sim found no pseudo-terminal");

        // A read's OUT exists already: a failed read must leave it as it was.
        const bool reading = args.startsWith(QLatin1String("read"));
        const QByteArray before = " 0 ,  0 ,  0 \r\n";
        if (reading) QVERIFY(writeFileAtomically(outFile, before).ok);
        err.replace(QStringLiteral("DEV"), sim.device);
        const QStringList words = args.split(u' ');
        const Run run = runKaldorctl(QStringList{"--port", sim.device} + words, dir.path());
        QVERIFY(sim.stop());

        QCOMPARE(run.status, status);
        const QString pattern =
            QRegularExpression::escape(out).replace(QStringLiteral("\\*"), QStringLiteral(".+"));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(pattern))
                     .match(run.out)
                     .hasMatch(),
                 qPrintable(run.out));
        if (status == 0)
            QCOMPARE(run.err, QString());
        else
            QVERIFY2(!run.err.isEmpty(), "a refusal says why on stderr");
        QVERIFY2(err.isEmpty() || run.err.startsWith(err), qPrintable(run.err));

        if (!outImage.isEmpty())
            QCOMPARE(loadIndicatorFile(outFile).image, loadIndicatorFile(outImage).image);
        else if (reading)
            QCOMPARE(readFile(outFile), before);
        // Nothing else is left behind: no working file, no temporary file.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 reading ? QStringList{"out.idr"} : QStringList{});
        QVERIFY(QDir(folder).isEmpty());
        QCOMPARE((QList<int>{int(QDir(backups).entryList({"meter-*.idr"}, QDir::Files).size()),
                             int(QDir(backups).entryList({"readback-*.idr"}, QDir::Files).size())}),
                 kept);
        if (!wire.isEmpty()) QCOMPARE(sim.received(), wire);

        const IndicatorFileLoad meter = loadIndicatorFile(sim.saved());
        QVERIFY(meter.ok());
        QTEST(int(meter.image.at(layout::kTankCountAddress)), "tanksAfter");
        if (words.constFirst() == QLatin1String("write") && status == 0)
            QCOMPARE(meter.image, loadIndicatorFile(words.at(1)).image);
    }

    // kaldor-sim --listen as a serial device server: the same exchanges byte for byte through
    // the program's network port, raw and over RFC 2217 (where every 0xFF is doubled on the
    // wire), and over RFC 2217 the line the program sets at open.
    void network_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QByteArray>("wire"); // every byte the meter received, when given
        const IndicatorImage every = loadIndicatorFile(m_everyByte).image;
        const QByteArray upload = QByteArray("\x02"
                                             "AD\r") +
                                  char(every.blockCount() / 256) + char(every.blockCount() % 256) +
                                  every.bytes() + every.bytes().right(1);
        const QByteArray tank9 =
            QByteArray::fromHex("0243440d09001003e800320000000040013fff7fff7fff");
        for (const char* scheme : {"tcp", "rfc2217"}) {
            const auto name = [&](const char* what) { return QByteArray(scheme) + ": " + what; };
            QTest::newRow(name("read every byte value")) << scheme << "read OUT"
                                                         << "Indicator Data Read\n"
                                                         << QByteArray();
            QTest::newRow(name("write every byte value")) << scheme << "write EVERY"
                                                          << "Data Sent\n"
                                                          << upload;
            QTest::newRow(name("send-tank")) << scheme << "send-tank WATER --image IMAGE --tank 9"
                                             << "Tank data sent.\n"
                                             << tank9;
        }
    }

    void network()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, args);
        QFETCH(QByteArray, wire);
        QTemporaryDir dir;
        const QString outFile = dir.filePath(QStringLiteral("out.idr"));
        args.replace(QStringLiteral("OUT"), outFile)
            .replace(QStringLiteral("EVERY"), m_everyByte)
            .replace(QStringLiteral("WATER"), sample(QStringLiteral("tanks/water.tnk")))
            .replace(QStringLiteral("IMAGE"), sample(QStringLiteral("three-tanks.idr")));
        const bool reading = args.startsWith(QLatin1String("read"));
        Sim sim;
        QVERIFY(sim.start((reading ? QStringLiteral("--image ") + m_everyByte + u' ' : QString()) +
                          QStringLiteral("--listen %1://127.0.0.1:0").arg(scheme)));
        QVERIFY2(sim.device.startsWith(scheme + QStringLiteral("://127.0.0.1:")),
                 qPrintable(sim.device));
        const Run run = runKaldorctl(QStringList{"--port", sim.device} + args.split(u' '));
        QVERIFY(sim.stop());
        QCOMPARE(run.err, QString());
        QTEST(run.out, "out");
        QCOMPARE(run.status, 0);
        if (reading)
            QCOMPARE(loadIndicatorFile(outFile).image, loadIndicatorFile(m_everyByte).image);
        if (!wire.isEmpty()) QCOMPARE(sim.received(), wire);
        const QStringList settings = QString::fromLocal8Bit(sim.process.readAllStandardOutput())
                                         .split(u'\n', Qt::SkipEmptyParts);
        if (scheme == QLatin1String("rfc2217"))
            for (const char* asked : {"baud 19200", "datasize 8", "parity none", "stopbits 1"})
                QVERIFY2(settings.contains(QLatin1String(asked)), qPrintable(settings.join(u'|')));
        else
            QCOMPARE(settings, QStringList());
    }

    // --trace FILE: the run's traffic, each byte in hex and as ASCII after its time of day, its
    // time since the start and its direction, the frame named before its bytes and the outcome
    // last; written even when the exchange fails, and a trace that cannot be written fails the
    // run.
    void trace_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("traceFile"); // in the test's folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>(
            "lines");                     // after the times, from the frame on, blanks simplified
        QTest::addColumn<QString>("err"); // how stderr begins, DIR the test's folder
        const auto row = [](const char* name, const char* faults, const char* args,
                            const char* trace, int status, const QStringList& lines,
                            const char* err) {
            QTest::newRow(name) << QString(faults) << QString(args) << QString(trace) << status
                                << lines << QString(err);
        };
        row("read refused", "--fault AU:1:nack", "read OUT", "t.txt", 1,
            {"frame AU", "-> 02 |.|", "-> 41 |A|", "-> 55 |U|", "-> 0D |.|", "<- 15 |.|",
             "end: refused at stage 1: the meter answered 0x15"},
            "Indicator not ready");
        row("trace cannot be written", "", "clear", "none/t.txt", 1, {}, "DIR/none/t.txt: ");
        row("trace to a full device", "", "key SW", "full", 1, {},
            "DIR/full: no space left on device\n");
    }

    void trace()
    {
        QFETCH(QString, faults);
        QFETCH(QString, args);
        QFETCH(QString, traceFile);
        QFETCH(QStringList, lines);
        QFETCH(QString, err);
        QTemporaryDir dir;
        Sim sim;
        if (!sim.start(faults)) QSKIP("kaldor-sim found no pseudo-terminal");
        const QString device = sim.device;
        const QString tracePath =
            traceFile == QLatin1String("full") ? fullDevice(dir.path()) : dir.filePath(traceFile);
        QVERIFY(!tracePath.isEmpty());
        const Run run = runKaldorctl(
            QStringList{"--trace", tracePath, "--port", device} +
                args.replace(QStringLiteral("OUT"), dir.filePath("out.idr")).split(u' '),
            dir.path());
        QVERIFY(sim.stop());
        QTEST(run.status, "status");
        err.replace(QStringLiteral("DIR"), dir.path());
        QCOMPARE(run.err.left(err.size()), err);
        // No trace is left where none could be written, and a device is not replaced by one.
        QCOMPARE(QFileInfo(tracePath).isFile(), !lines.isEmpty());
        if (lines.isEmpty()) return;
        // The lines' times and layout are the trace log's test's: here the entries, in order.
        QStringList shown;
        for (const QString& line :
             QString::fromUtf8(readFile(tracePath)).split(u'\n', Qt::SkipEmptyParts))
            shown.append(line.section(QStringLiteral(" us  "), 1).simplified());
        QCOMPARE(shown.first(), QStringLiteral("-- opened ") + device);
        const int frame = shown.indexOf(lines.first());
        QVERIFY(frame > 0);
        QCOMPARE(shown.mid(frame, lines.size()), lines);
        QCOMPARE(shown.constLast(), lines.constLast());
    }

    // kaldor-sim's command line: an unknown option or a bad value is a usage error, before the
    // meter serves or saves anything.
    void simUsage_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("err"); // the first line of stderr
        const auto row = [](const char* name, const char* args, const char* err) {
            QTest::newRow(name) << QString(args) << QStringLiteral("kaldor-sim: ") + err;
        };
        row("latency not a number", "--latency abc",
            "--latency takes a whole number of microseconds from 0 to 60000000, not 'abc'");
        row("fault at step 0", "--fault AU:0:nack", "--fault takes CMD:STEP:KIND, not 'AU:0:nack'");
        row("misspelt option", "--latancy 5", "Unknown option 'latancy'.");
        row("save twice", "--save other.idr", "--save is given twice");
        row("listen on no network address", "--listen udp://127.0.0.1:3001",
            "--listen: \"udp://127.0.0.1:3001\" is not a network address: write tcp://HOST:PORT "
            "or rfc2217://HOST:PORT, with a port number from 0 to 65535.");
    }

    void simUsage()
    {
        QFETCH(QString, args);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("meter.idr"));
        QProcess sim;
        sim.setWorkingDirectory(dir.path());
        sim.start(QStringLiteral(KALDOR_SIM_PATH), QStringList{"--save", saved} + args.split(u' '));
        const bool ended = sim.waitForFinished(5000);
        if (!ended) {
            sim.terminate();
            sim.waitForFinished();
        }
        QVERIFY2(ended, "kaldor-sim served instead of refusing its command line");
        QCOMPARE(sim.exitCode(), 2);
        QCOMPARE(sim.readAllStandardOutput(), QByteArray()); // no device was offered
        QCOMPARE(QString::fromLocal8Bit(sim.readAllStandardError()).section(u'\n', 0, 0), err);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    }

    void stoppedBySignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    // A read stopped by a signal while it waits for the meter: it stops at that wait, not at the
    // end of the 4 s the first reply may take, keeps no image, writes the trace as far as the
    // exchange got and ends with 128 + the signal.
    void stoppedBySignal()
    {
        QFETCH(int, signal);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString device = QString::fromLocal8Bit(::ptsname(master));
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("t.txt"));
        QProcess ctl;
        ctl.setWorkingDirectory(dir.path());
        ctl.start(QStringLiteral(KALDORCTL_PATH),
                  {"--port", device, "--trace", trace, "read", "out.idr"});
        // The meter stays silent: once the whole frame is on the line the read waits for it.
        QByteArray frame;
        QElapsedTimer clock;
        clock.start();
        while (frame.size() < 4 && clock.elapsed() < 5000) {
            pollfd in{master, POLLIN, 0};
            if (::poll(&in, 1, 100) == 1 && (in.revents & POLLIN)) {
                char bytes[16];
                const ssize_t n = ::read(master, bytes, sizeof bytes);
                if (n > 0) frame.append(bytes, n);
            }
        }
        QCOMPARE(frame, QByteArray("\x02"
                                   "AU\r"));
        clock.restart();
        QVERIFY(::kill(pid_t(ctl.processId()), signal) == 0);
        QVERIFY(ctl.waitForFinished(5000));
        const qint64 stoppedMs = clock.elapsed();
        ::close(master);
        QCOMPARE(ctl.exitStatus(), QProcess::NormalExit);
        QCOMPARE(ctl.exitCode(), 128 + signal);
        QVERIFY2(stoppedMs < 1000, qPrintable(QString::number(stoppedMs)));
        const QString err = QString::fromLocal8Bit(ctl.readAllStandardError());
        QCOMPARE(err, QStringLiteral("The exchange with the meter was stopped at stage 1.\n"
                                     "kaldorctl: stopped by signal %1 (%2)\n")
                          .arg(signal)
                          .arg(QString::fromLocal8Bit(::strsignal(signal))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.idr"))));
        QStringList shown;
        for (const QString& line :
             QString::fromUtf8(readFile(trace)).split(u'\n', Qt::SkipEmptyParts))
            shown.append(line.section(QStringLiteral(" us  "), 1).simplified());
        QCOMPARE(shown, (QStringList{"-- opened " + device, "frame AU", "-> 02 |.|", "-> 41 |A|",
                                     "-> 55 |U|", "-> 0D |.|", "end: stopped at stage 1"}));
    }

    void noSuchPort()
    {
        QTemporaryDir dir;
        const QString none = dir.filePath(QStringLiteral("ttyNONE"));
        const Run run = runKaldorctl({"--port", none, "clear"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QStringLiteral("The serial port %1 does not exist.\n").arg(none));
    }

    // The same device opened under a second name (a link to it; a path with "..", resolved the
    // same way) is held as well: the command is refused and nothing reaches the meter.
    void heldUnderAnotherName()
    {
        SimulatedMeter meter(SimulatedMeter::emptyImage());
        PtyMeter pty(meter);
        QString error;
        if (!pty.open(&error)) QSKIP(qPrintable(error));
        const QString device = pty.slavePath();
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("meter"));
        QVERIFY(QFile::link(device, link));
        QtSerialPort holder(PortSpec{1, device});
        QVERIFY(holder.open().ok());

        const Run run = runKaldorctl({"--port", link, "key", "SW"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QStringLiteral("Port unavailable. Choose another port.\n"
                                         "The serial port %1 is held by another program.\n")
                              .arg(device));
    }

    void blockedLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("what");
        QTest::newRow("clear") << QStringList{"clear"} << " The clear command was not sent.\n";
        QTest::newRow("key") << QStringList{"key", "SW"} << " The key was not sent to the meter.\n";
    }

    // A meter that takes no byte (its side of the line full and never read): the first byte
    // cannot be handed over within its wait, and the command fails instead of reporting success.
    void blockedLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, what);
        SimulatedMeter meter;
        PtyMeter pty(meter); // never served: nothing is read from the line
        QString error;
        if (!pty.open(&error)) QSKIP(qPrintable(error));
        const QString device = pty.slavePath();
        const int fd = ::open(device.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY);
        QVERIFY(fd >= 0);
        // The terminal layer moves bytes on behind the writer: fill until a pause frees no room.
        const char fill[256] = {};
        for (bool tookMore = true; tookMore;) {
            tookMore = false;
            while (::write(fd, fill, sizeof fill) > 0)
                tookMore = true;
            QTest::qWait(50);
        }
        ::close(fd);

        const Run run = runKaldorctl(QStringList{"--port", device} + args);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err,
                 QStringLiteral(
                     "The serial port %1 could not send a byte within 2 s: the line is blocked. "
                     "Check that the meter is on and connected.")
                         .arg(device) +
                     what);
    }

private:
    QTemporaryDir m_dir;
    QString
        m_everyByte; // an image of every byte value 0 .. 255, 0x00, 0x0D, 0x11 and 0x13 among them
};

QTEST_GUILESS_MAIN(TestKaldorctlWire)
#include "tst_kaldorctl_wire.moc"
