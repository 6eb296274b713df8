// kaldorctl on files: what it prints, where, and its exit status, run as a separate process.

#include "ctlrun.h"
#include "store/indicatorfile.h"
#include "store/tankfile.h"
#include "tests/support/pdftext.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

using Points = QList<QStringList>; // per CSV line its fields, as numbers in text
const QString kSamples = sample({});
const QByteArray kTankFive = "5\r\n 1000 \r\n 0 \r\n 2 \r\n0, 0,1000, 99.99,";

// A command line run in workDir: "@" stands for the samples folder, "''" for an empty word.
Run kaldorctl(const QString& line, const QString& workDir = QString(), bool unprivileged = false)
{
    QStringList words = QString(line).replace(u'@', kSamples).split(u' ', Qt::SkipEmptyParts);
    words.replaceInStrings(QStringLiteral("''"), QString());
    return runKaldorctl(words, workDir, unprivileged);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(writeFileAtomically(path, bytes).ok);
}

bool isFifo(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

} // namespace

class TestKaldorctl : public QObject {
    Q_OBJECT
private slots:
    void buildThenShow()
    {
        QTemporaryDir dir;
        const Run built = kaldorctl(
            QStringLiteral("build plant.idr @tanks/diesel.tnk @tanks/water.tnk @tanks/linear.tnk"),
            dir.path());
        QCOMPARE(built.status, 0);
        QCOMPARE(built.out, QStringLiteral("Indicator file built.\nplant.idr saved.\n"));
        QCOMPARE(built.err, QString());
        // The shipped sample image is the same build, byte for byte.
        QCOMPARE(readFile(dir.filePath(QStringLiteral("plant.idr"))),
                 readFile(kSamples + "three-tanks.idr"));

        // diesel: 7 points, 32 bytes; water 3 points, 16 bytes; linear 3 points.
        QCOMPARE(kaldorctl(QStringLiteral("show @three-tanks.idr")).out,
                 QStringLiteral("Tank  12\t512\t16\nTank  3\t544\t8\nTank  7\t560\t8\n"));
        QCOMPARE(kaldorctl(QStringLiteral("show @three-tanks.idr --tank 3")).out,
                 QStringLiteral("-50\t 0\n450\t 50.00\n950\t99.99\n"));

        // A tank listed twice: --tank shows its first entry and says where the others are,
        // --entry K shows each.
        writeFile(dir.filePath(QStringLiteral("twelve.tnk")), "12" + kTankFive.mid(1));
        QCOMPARE(
            kaldorctl(QStringLiteral("build twice.idr @tanks/diesel.tnk twelve.tnk"), dir.path())
                .status,
            0);
        const Run first = kaldorctl(QStringLiteral("show twice.idr --tank 12"), dir.path());
        QCOMPARE(first.out.count('\n'), 7);
        QVERIFY2(first.err.contains(QStringLiteral("also entry 2")), qPrintable(first.err));
        const Run second = kaldorctl(QStringLiteral("show twice.idr --entry 2"), dir.path());
        QCOMPARE(second.status, 0);
        QCOMPARE(second.out, QStringLiteral("0\t 0\n1000\t99.99\n"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err"); // stands once in what is printed on stderr
        const auto row = [](const char* name, const char* line, int status, const char* err) {
            QTest::newRow(name) << QString(line) << status << QString(err);
        };
        row("no command", "", 2, "Usage:");
        row(".Idr is not .idr", "build out.Idr @tanks/diesel.tnk", 1, "Wrong file extension\n");
        row("missing tank file", "build o.idr nope.tnk", 1,
            "nope.tnk cannot be read: file not found.");
        row("tank not in file", "show @three-tanks.idr --tank 99", 1, "Tank 99 is not in");
        row("missing image", "show absent.idr", 1, "absent.idr: file not found\n");
        // Every file the tool reads goes through one check: a regular file, small enough (the
        // size is the indicator file's test's).
        row("check a directory", "check .", 1, "Error:  75\n.: not a regular file (a directory)");
        row("show a FIFO", "show fifo.idr", 1, "fifo.idr: not a regular file (a FIFO)");
        row("build from /dev/zero", "build o.idr /dev/zero", 1,
            "Tank file /dev/zero cannot be read: not a regular file (a character device)");
        row("show without permission", "show locked.idr", 1,
            "Error:  70\nlocked.idr: permission denied\n");
        // The output may not be one of the tank files, by name or through a link.
        row("output is an input", "build a.idr.tnk a.idr.tnk", 1,
            "a.idr.tnk is one of the tank files the image is built from");
        row("output links to an input", "build link.idr a.idr.tnk", 1,
            "link.idr is one of the tank files");
        row("output a hard link to an input", "build hard.idr a.idr.tnk", 1,
            "hard.idr is one of the tank files");
        row("--tank and --entry", "show @three-tanks.idr --tank 3 --entry 1", 2,
            "give one --tank or one --entry");
        row("empty --entry", "show @three-tanks.idr --entry ''", 2,
            "kaldorctl show: --entry needs a value");
        row("entry past the directory", "show @three-tanks.idr --entry 4", 1,
            "there is no entry 4; the directory has 3 entries");
        row("--port twice", "--port 1 --port=2 show @three-tanks.idr", 2,
            "--port takes one device, given once");
        row("--trace without a file", "--trace", 2, "kaldorctl: Missing value after '--trace'.");
        // One parser reads every command line: a misspelt option, one the command does not
        // take or a global option the command would never use stops it before anything is done.
        row("misspelt --head-depth",
            "curve --shape horizontal-cylinder --diameter 2000 --length 6000 --heads ellipsoidal "
            "--heads-depth 250 --tank 4 o.tnk",
            2, "kaldorctl curve: Unknown option 'heads-depth'.");
        row("an option build does not take", "build o.idr @tanks/diesel.tnk --verify", 2,
            "kaldorctl build: Unknown option 'verify'.");
        row("--trace with a command on files", "--trace t.txt build o.idr @tanks/diesel.tnk", 2,
            "kaldorctl build: --port and --trace go with the commands on the meter");
        row("an empty output name", "export @tanks/water.tnk ''", 2,
            "kaldorctl export: an argument is empty");
        row("export --tank from a tank file", "export @tanks/water.tnk --tank 3", 2,
            "a tank file holds one curve");
        row("sheet without its PDF", "sheet @tanks/water.tnk", 2, "name the PDF file to write");
        row("sheet of a missing tank", "sheet @three-tanks.idr --tank 9 o.pdf", 1,
            "Tank 9 is not in");
        row("curve: a sphere has no length",
            "curve --shape sphere --diameter 3 --length 3 --tank 4 b.tnk", 2,
            "--length is not a dimension of a sphere");
        row("import: a bad row by its line", "import a.idr.tnk --tank 9 b.tnk", 1,
            "a.idr.tnk: line 1: a row is a level and a volume, two numbers, not '5'");
        // An output never lands on an input, under any name, nor replaces an indicator or tank
        // file with something else; it is refused before the port is opened.
        row("sheet over its own input", "sheet plant.idr plant.idr", 1,
            "plant.idr is one of the files this command reads; nothing was done.\n");
        row("export over its input under another name", "export plant.idr hard.csv", 1,
            "hard.csv is plant.idr under another name, a file this command reads; nothing was "
            "done.\n");
        row("export over a tank file", "export plant.idr a.idr.tnk", 1,
            "a.idr.tnk holds a tank file, which a CSV file would replace; nothing was done.\n");
        row("sheet over an indicator file", "sheet @tanks/water.tnk plant.idr", 1,
            "plant.idr holds an indicator file, which a PDF would replace; nothing was done.\n");
        row("trace over the file sent", "--port ttyNONE --trace plant.idr write plant.idr", 1,
            "plant.idr is one of the files this command reads; nothing was done.\n");
        row("trace and read into one file", "--port ttyNONE --trace o.idr read o.idr", 1,
            "o.idr is named for two of this command's outputs; nothing was done.\n");
        // A device that takes no byte fails the command; a FIFO is not replaced by a file.
        row("export to a full device", "export plant.idr full", 1,
            "Error:  61\nfull: no space left on device\n");
        row("export into a FIFO nobody reads", "export plant.idr fifo.csv", 1,
            "fifo.csv: a FIFO that no program reads; nothing was written\n");
    }

    void refusals()
    {
        QFETCH(QString, line);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QDir d(dir.path());
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
        writeFile(d.filePath(QStringLiteral("a.idr.tnk")), kTankFive);
        writeFile(d.filePath(QStringLiteral("locked.idr")), " 0 , 0 , 0 ");
        QVERIFY(QFile::setPermissions(d.filePath(QStringLiteral("locked.idr")), {}));
        QVERIFY(QFile::link(QStringLiteral("a.idr.tnk"), d.filePath(QStringLiteral("link.idr"))));
        QVERIFY(::link(QFile::encodeName(d.filePath("a.idr.tnk")).constData(),
                       QFile::encodeName(d.filePath("hard.idr")).constData()) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(d.filePath(QStringLiteral("fifo.idr"))).constData(),
                         0666) == 0);
        const QString plant = d.filePath(QStringLiteral("plant.idr"));
        QVERIFY(QFile::copy(kSamples + "three-tanks.idr", plant));
        QVERIFY(::link(QFile::encodeName(plant).constData(),
                       QFile::encodeName(d.filePath("hard.csv")).constData()) == 0);
        const QByteArray fifo = QFile::encodeName(d.filePath(QStringLiteral("fifo.csv")));
        QVERIFY(::mkfifo(fifo.constData(), 0666) == 0 && ::chmod(fifo.constData(), 0666) == 0);
        const QString full = fullDevice(dir.path());
        QVERIFY(!full.isEmpty());
        // The unprivileged run may write both: only the door keeps them as they are.
        for (const QString& name : {plant, d.filePath(QStringLiteral("a.idr.tnk"))})
            QVERIFY(QFile::setPermissions(name, QFileDevice::Permissions(0x6666)));

        const Run r = kaldorctl(line, dir.path(), true);
        QTEST(r.status, "status");
        QVERIFY2(r.err.count(err) == 1, qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("ttyNONE")),
                 "the port is not opened for a command refused");
        QCOMPARE(readFile(plant), readFile(kSamples + "three-tanks.idr"));
        QVERIFY2(!QFileInfo(full).isFile(), "the device was replaced by a file");
        QVERIFY2(isFifo(d.filePath(QStringLiteral("fifo.csv"))), "the FIFO was replaced by a file");
        QCOMPARE(readFile(d.filePath(QStringLiteral("a.idr.tnk"))), kTankFive);
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("out.Idr"))));
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("o.idr"))));
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("o.pdf"))));
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("o.tnk"))));
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("t.txt"))));
    }

    // The CSV export read back: the points the tank file holds or the viewer's grid shows, with
    // the tank number first when every tank of an image goes out.
    void exportThenRead_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("output"); // the file written; empty: stdout
        QTest::addColumn<QString>("header");
        QTest::addColumn<Points>("points");
        const auto shown = [](const QString& choice, const QString& tank = {}) {
            Points points;
            const QStringList lines = kaldorctl(QStringLiteral("show @three-tanks.idr ") + choice)
                                          .out.split(u'\n', Qt::SkipEmptyParts);
            for (const QString& line : lines) {
                const QStringList cells = line.split(u'\t');
                points.append((tank.isEmpty() ? QStringList{} : QStringList{tank}) +
                              QStringList{cells[1].trimmed(), cells[0]});
            }
            return points;
        };
        QTest::newRow("tank file")
            << "export @tanks/water.tnk"
            << ""
            << "percent,value" << Points{{"0", "-50"}, {"50", "450"}, {"99.99", "950"}};
        QTest::newRow("a tank of an image") << "export @three-tanks.idr --tank 12"
                                            << ""
                                            << "percent,value" << shown("--tank 12");
        QTest::newRow("an entry, to a file") << "export @three-tanks.idr --entry 2 out.csv"
                                             << "out.csv"
                                             << "percent,value" << shown("--entry 2");
        // Read in the other layout, the last point has no value: it is left out.
        QTest::newRow("the other layout")
            << "--no-offset export @three-tanks.idr --tank 3"
            << ""
            << "percent,value" << Points{{"0.1525", "-50"}, {"0", "450"}, {"49.99", "950"}};
        QTest::newRow("every tank of an image")
            << "export @three-tanks.idr"
            << ""
            << "tank,percent,value"
            << shown("--tank 12", "12") + shown("--tank 3", "3") + shown("--tank 7", "7");
    }

    void exportThenRead()
    {
        QFETCH(QString, line);
        QFETCH(QString, output);
        QFETCH(QString, header);
        QFETCH(Points, points);
        QTemporaryDir dir;
        const Run r = kaldorctl(line, dir.path());
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        const QString csv =
            output.isEmpty() ? r.out : QString::fromLatin1(readFile(dir.filePath(output)));
        QStringList lines = csv.split(u'\n');
        QCOMPARE(lines.takeLast(), QString()); // every line ends
        QCOMPARE(lines.takeFirst(), header);
        QCOMPARE(lines.size(), points.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QStringList fields = lines[i].split(u',');
            QCOMPARE(fields.size(), points[i].size());
            for (qsizetype f = 0; f < fields.size(); ++f) {
                bool ok = false;
                QCOMPARE(fields[f].toDouble(&ok), points[i][f].toDouble());
                QVERIFY2(ok, qPrintable(lines[i]));
            }
        }
    }

    // The sheet's words as a PDF reader finds them: one page per tank, its number, mode, full
    // scale, offset, source, point count and the point table.
    void sheetText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("pages"); // words that stand on each page, in order
        QTest::newRow("tank file")
            << "sheet @tanks/water.tnk s.pdf"
            << QStringList{
                   "Calibration Sheet – Tank 3 Date: " +
                   QDate::currentDate().toString(Qt::ISODate) +
                   " Tank: 3 Mode: offset capable Full scale: 1000 Offset: 50 Source: file "
                   "water.tnk Points: 3"
                   "|Pt. VALUE % 1 -50 0 2 450 50.00 3 950 99.99 Technician Signature Date"};
        QTest::newRow("not offset capable")
            << "--no-offset sheet @three-tanks.idr --tank 7 s.pdf"
            << QStringList{"Tank: 7 Mode: not offset capable Full scale: 1000 Offset: 0 Source: "
                           "file three-tanks.idr Points: 4"};
        QTest::newRow("every tank of an image")
            << "sheet @three-tanks.idr s.pdf"
            << QStringList{"Tank: 12|Full scale: 5000|Points: 7|1 0 0 2 260 10.00 3 980 25.00 4 "
                           "2500 50.00 5 4020 "
                           "75.00 6 4740 90.00 7 5000 99.99 Technician",
                           "Tank: 3|Points: 3|3 950 99.99", "Tank: 7|Points: 3"};
    }

    void sheetText()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, pages);
        QTemporaryDir dir;
        const Run r = kaldorctl(line, dir.path());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("s.pdf saved.\n"));
        const QStringList text = testing::pdfPages(dir.filePath(QStringLiteral("s.pdf")));
        QVERIFY2(!text.isEmpty(),
                 "no text from pdftotext (poppler-utils; scripts/setup.sh installs it)");
        QCOMPARE(text.size(), pages.size());
        for (qsizetype p = 0; p < pages.size(); ++p)
            QCOMPARE(missingWords(text[p], pages[p]), QString());
    }

    // A curve from a shape: the points printed are the points written. A table in the form the
    // export writes comes back as the same points.
    void curveAndImport()
    {
        QTemporaryDir dir;
        const Run shaped = kaldorctl(
            QStringLiteral("curve --shape horizontal-cylinder --diameter 2000 --length 6000 "
                           "--heads ellipsoidal --volume-unit m3 --scale 100 --max-error 1 "
                           "--tank 4 d.tnk"),
            dir.path());
        QCOMPARE(shaped.status, 0);
        QStringList lines = shaped.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.takeLast(), QStringLiteral("File d.tnk saved."));
        const QString summary = lines.takeLast();
        QVERIFY2(summary.startsWith(QString::number(lines.size()) +
                                    QStringLiteral(" points; largest error 0.")),
                 qPrintable(summary));
        const TankFileFields written = readTankFile(dir.filePath(QStringLiteral("d.tnk")), true);
        QCOMPARE(written.points.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(written.points.at(i).percentText.toDouble(),
                     lines.at(i).section(u'\t', 0, 0).toDouble());
            QCOMPARE(written.points.at(i).valueText, lines.at(i).section(u'\t', 1));
        }

        // The heads' depth is read: 2:1 heads on a 2 m drum hold 2.09 m3, 250 mm deep ones 1.05 m3.
        const Run shallow = kaldorctl(
            QStringLiteral("curve --shape horizontal-cylinder --diameter 2000 --length 6000 "
                           "--heads ellipsoidal --head-depth 250 --volume-unit m3 --scale 100 "
                           "--tank 4 s.tnk"),
            dir.path());
        QCOMPARE(shallow.status, 0);
        const QStringList shallowLines = shallow.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(shallowLines.value(shallowLines.size() - 3), QStringLiteral("99.99\t1990"));

        writeFile(dir.filePath(QStringLiteral("e.csv")),
                  "percent,value\n0,3\n0.05,4\n12.34,567\n99.99,2094\n");
        QCOMPARE(
            kaldorctl(QStringLiteral("--no-offset import e.csv --tank 9 e.tnk"), dir.path()).status,
            0);
        QCOMPARE(readFile(dir.filePath(QStringLiteral("e.tnk"))),
                 QByteArray("9\r\n 2094 \r\n 4 \r\n3,  0,4,  .05,567,  12.34,2094,  99.99,"));
    }

    // A strapping table's levels in the unit its header names, unless --unit says otherwise; a
    // level above 100 read as percent refused by its line; a bad row quoted with its control
    // characters escaped (the table's forms are the parser's test's). Nothing is written on a
    // refusal.
    void importTable_data()
    {
        QTest::addColumn<QString>("table"); // in tests/data/strapping
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // stands in stdout, or the tank file's last point
        QTest::addColumn<QString>("err"); // stands in stderr
        const auto row = [](const char* name, const char* table, const QStringList& options,
                            int status, const QString& out, const QString& err = {}) {
            QTest::newRow(name) << QString(table) << options << status << out << err;
        };
        const QString notPercent =
            QStringLiteral("line 4: the level 200 is above 100 %, so the levels are not "
                           "percentages; give their length unit (mm, cm, m, in or ft).\n");
        row("the header names mm", "level-mm.csv", {}, 0,
            "Levels in mm, as the header 'Level mm;Volume l' names them.\n");
        row("--unit percent over the header", "level-mm.csv", {"--unit", "percent"}, 1, {},
            notPercent);
        row("no unit in the header: percent", "level-no-unit.csv", {}, 1, {}, notPercent);
        row("no unit in the header, --unit mm", "level-no-unit.csv", {"--unit", "mm"}, 0,
            "9000,  99.99,");
        row("an escape sequence in a bad row", "escape-row.csv", {}, 1, {},
            "escape-row.csv: line 3: a row is a level and a volume, two numbers, not "
            "'1,\\x1B]0;owned\\x07\\x1B[2J'\n");
    }
    void importTable()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const Run r = runKaldorctl(
            QStringList{"import",
                        QStringLiteral(KALDOR_SOURCE_DIR "/tests/data/strapping/") + table} +
                options + QStringList{"--tank", "4", "t.tnk"},
            dir.path());
        QCOMPARE(r.status, status);
        const QByteArray written = readFile(dir.filePath(QStringLiteral("t.tnk")));
        QCOMPARE(written.isEmpty(), status != 0);
        if (!out.isEmpty())
            QVERIFY2(r.out.contains(out) || written.endsWith(out.toLatin1()), qPrintable(r.out));
        if (!err.isEmpty()) QVERIFY2(r.err.endsWith(err), qPrintable(r.err));
        QVERIFY(!r.err.contains(QChar(0x1B)));
    }

    // diff over files: one line per tank that differs, bytes outside the records by address,
    // nothing when only the container's form or its trailing value differ.
    void diff_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // how stderr begins
        const auto row = [](const char* name, const char* line, int status, const char* out,
                            const char* err = "") {
            QTest::newRow(name) << QString(line) << status << QString(out) << QString(err);
        };
        row("the same file", "diff a.idr a.idr", 0, "");
        row("other form and trailing value", "diff a.idr built.idr", 0, "");
        row("tank only in A", "diff a.idr two.idr", 1, "Tank  7: only in a.idr\n");
        row("both differ", "diff two.idr point.idr", 1,
            "Tank  12, point 2: 260 at 10.00 % in two.idr, 260 at -90.47 % in point.idr\nTank  7: "
            "only in point.idr\n");
        row("changed full scale and a byte outside", "diff a.idr both.idr", 1,
            "Tank  3, full scale: 1000 in a.idr, 1256 in both.idr\nAddress 100: 0 in a.idr, 255 in "
            "both.idr (3 "
            "bytes from there)\n");
        row("missing file", "diff a.idr none.idr", 2, "", "none.idr: file not found");
        row("one argument", "diff a.idr", 2, "", "kaldorctl diff: name two images");
        row("meter without a port", "diff meter a.idr", 2, "",
            "kaldorctl: this command needs --port");
    }

    void diff()
    {
        QFETCH(QString, line);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QDir d(dir.path());
        const IndicatorImage image = loadIndicatorFile(kSamples + "three-tanks.idr").image;
        const auto save = [&](const char* name, int address, int value) {
            IndicatorImage changed = image;
            changed.set(address, value);
            QVERIFY(
                writeIndicatorFile(d.filePath(QString(name)), image.blockCount(), changed, 0).ok);
        };
        save("a.idr", 0, image.at(0));
        QCOMPARE(kaldorctl(QStringLiteral("build two.idr @tanks/diesel.tnk @tanks/water.tnk"),
                           dir.path())
                     .status,
                 0);
        save("point.idr", 520, 255 - image.at(520));
        IndicatorImage both = image;
        both.set(544, image.at(544) + 1);
        for (int a : {100, 101, 102}) // one difference of three bytes
            both.set(a, 255);
        QVERIFY(
            writeIndicatorFile(d.filePath(QStringLiteral("both.idr")), image.blockCount(), both, 0)
                .ok);
        QVERIFY(writeConstructedFile(d.filePath(QStringLiteral("built.idr")), image, image.length())
                    .ok);

        const Run r = kaldorctl(line, dir.path());
        QTEST(r.status, "status");
        QTEST(r.out, "out");
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.startsWith(err), qPrintable(r.err));
    }

    // A tank file is held to one set of rules, whichever command reads it: each of these is
    // refused by check, send-tank, build and export alike, with the same words, and nothing is
    // written or sent.
    void refusedTankFiles_data()
    {
        QTest::addColumn<QString>("file"); // in tests/data/refused-tanks
        QTest::addColumn<QString>("message");
        const auto row =
            [](const char* file, const char* why) {
                const QString name = QString(file) + QStringLiteral(".tnk");
                QTest::newRow(file)
                    << name
                    << (QString(why).contains(u'%')
                            ? QString(why)
                            : QStringLiteral("Tank file %1 cannot be used: %2.").arg(name, why));
            };
        const char* last = "Last % value must be 99.99";
        row("last-100", last);
        row("last-1e400", last);
        // "10,5" is two fields: every later field shifts and a value becomes the last percentage.
        row("decimal-comma", last);
        row("tank-0", "its tank number 0 is not between 1 and 255");
        row("tank-256", "its tank number 256 is not between 1 and 255");
        row("tank-abc", "a field that should be a number is not one");
        row("tank-nan", "a field that should be a number is not one");
        row("full-scale-0", "its full scale is 0; it must be above 0");
        row("full-scale-minus-1", "its full scale is -1; it must be above 0");
        // 1.5 is read as the whole number 2, below every value but the first.
        row("full-scale-1.5", "point 2 (value 600, 50 %) lies outside the tank's full scale");
        row("offset-minus-9999", "point 1 (value 100, 0 %) lies outside the tank's full scale");
        row("offset-1e400", "a number lies outside -32768 to 32767");
        row("offset-minus-32768", "its offset -32768 lies outside -32767 to 32767");
        row("value-below-offset", "point 1 (value 50, 0 %) lies outside the tank's full scale");
    }

    void refusedTankFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        QVERIFY(QFile::copy(QStringLiteral(KALDOR_SOURCE_DIR "/tests/data/refused-tanks/") + file,
                            path));
        // The port is never opened: the file is refused first.
        for (const char* line :
             {"check F", "--port /dev/null send-tank F", "build o.idr F", "export F o.csv"}) {
            const QString command = QString(line).replace(u'F', file);
            const Run r = kaldorctl(command, dir.path());
            QVERIFY2(r.status == 1,
                     qPrintable(command + QStringLiteral(": status ") + QString::number(r.status)));
            QVERIFY2(r.err.count(message) == 1, qPrintable(command + QStringLiteral(": ") + r.err));
            QCOMPARE(r.out, QString());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{file});
    }

    // Standard output is an output like any file: a device that takes no byte fails the run,
    // and it may not go to a file the command reads.
    void standardOutput_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>(
            "to"); // FULL: a full device; else a file in the folder, appended to
        QTest::addColumn<QString>("err");
        const QString full =
            QStringLiteral("kaldorctl: standard output: no space left on device\n");
        QTest::newRow("show to a full device") << "show plant.idr"
                                               << "FULL" << full;
        QTest::newRow("show appended to the file it shows")
            << "show plant.idr"
            << "plant.idr"
            << "Standard output goes to plant.idr, a file this command reads; nothing was done.\n";
    }

    void standardOutput()
    {
        QFETCH(QString, line);
        QFETCH(QString, to);
        QTemporaryDir dir;
        const QString plant = dir.filePath(QStringLiteral("plant.idr"));
        QVERIFY(QFile::copy(kSamples + "three-tanks.idr", plant));
        const QString target =
            to == QLatin1String("FULL") ? fullDevice(dir.path()) : dir.filePath(to);
        QVERIFY(!target.isEmpty());
        const QStringList words = QString(line).replace(u'@', kSamples).split(u' ');
        const Run r = runKaldorctl(words, dir.path(), false, target);
        QCOMPARE(r.status, 1);
        QTEST(r.err, "err");
        QCOMPARE(readFile(plant), readFile(kSamples + "three-tanks.idr"));
    }

    // A FIFO that a program reads takes the output as a stream and stays a FIFO.
    void exportIntoAFifo()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("curves.csv"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0666) == 0);
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const Run r = kaldorctl(QStringLiteral("export @three-tanks.idr curves.csv"), dir.path());
        QByteArray taken(1 << 16, '\0');
        const ssize_t n = ::read(reader, taken.data(), taken.size());
        ::close(reader);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY(n > 0);
        taken.resize(n);
        QCOMPARE(QString::fromLatin1(taken),
                 kaldorctl(QStringLiteral("export @three-tanks.idr")).out);
        QVERIFY(isFifo(fifo));
    }

    // The words the meter would receive for a tank file, after the curve check's message.
    void check()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("t.tnk")),
                  "5\r\n 1000 \r\n 0 \r\n 3 \r\n1000, 99.99,0, 0,500, 50,");
        const Run r = kaldorctl(QStringLiteral("check t.tnk"), dir.path());
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QStringLiteral(
                            "Data was out of order. It has been sorted\nfull scale\t1000\t3 "
                            "232\noffset\t0\t0 0\n"
                            "point 1\t0 0 0 0\npoint 2\t64 1 63 255\npoint 3\t127 255 127 255\n"));
        QCOMPARE(r.status, 0);
        // Without the offset word the full scale is the last value.
        writeFile(dir.filePath(QStringLiteral("t.tnk")), threePointTankFile(false));
        QVERIFY(kaldorctl(QStringLiteral("--no-offset check t.tnk"), dir.path())
                    .out.startsWith("full scale\t1100\t4 76\npoint 1\t0 0 11 162\n"));
    }
};

QTEST_GUILESS_MAIN(TestKaldorctl)
#include "tst_kaldorctl.moc"
