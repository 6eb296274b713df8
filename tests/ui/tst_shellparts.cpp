// The command line: what the program is to do, with which files and ports; and the file the
// simulated meter starts with.

#include "shell/commandline.h"
#include "shell/simulation.h"

#include <QtTest>

using namespace kaldor;
using Action = CommandLine::Action;

class TestShellParts : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void simulatedMeterFile_data();
    void simulatedMeterFile();
};

void TestShellParts::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port3");  // the device mapped to port option 3
    QTest::addColumn<QString>("opened"); // the indicator file to open in the viewer

    const auto row = [](const char* name, const QStringList& args, Action action,
                        bool simulate = false, const char* file = "", const char* port3 = "",
                        const char* opened = "") {
        QTest::newRow(name) << args << int(action) << simulate << QString(file) << QString(port3)
                            << QString(opened);
    };
    row("nothing", {}, Action::Run);
    row("simulate with a file", {"--simulate", "m.idr"}, Action::Run, true, "m.idr");
    row("a tank file opens the editor", {"Curve.TNK"}, Action::Run, false, "Curve.TNK");
    row("an indicator file opens the viewer", {"--port", "1=/dev/x", "/d/M.IDR"}, Action::Run,
        false, "", "", "/d/M.IDR");
    row("a file of another kind", {"m.txt"}, Action::Error);
    row("two files", {"--simulate", "a.idr", "b.idr"}, Action::Error);
    row("port with = in the device", {"--port=3=/tmp/a=b"}, Action::Run, false, "", "/tmp/a=b");
    row("port 0", {"--port", "0=/dev/x"}, Action::Error);
    row("port 5", {"--port", "5=/dev/x"}, Action::Error);
    row("port without device", {"--port", "2="}, Action::Error);
    row("port on a device server", {"--port", "3=rfc2217://[::1]:2217"}, Action::Run, false, "",
        "rfc2217://[::1]:2217");
    row("port on a device server, no such port number", {"--port", "3=tcp://plc:65536"},
        Action::Error);
    row("help", {"--help"}, Action::Help);
    row("version", {"--version"}, Action::Version);
    row("unknown option", {"--fast"}, Action::Error);
}

void TestShellParts::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(bool, simulate);
    QFETCH(QString, file);
    QFETCH(QString, port3);
    QFETCH(QString, opened);

    const CommandLine c = parseCommandLine(QStringList{QStringLiteral("kaldor")} + args);
    QCOMPARE(int(c.action), action);
    if (c.action != Action::Run) {
        QVERIFY(!c.text.isEmpty());
        return;
    }
    QCOMPARE(c.options.simulate, simulate);
    QCOMPARE(c.options.simulate ? c.options.simulateFile : c.options.tankFile, file);
    QCOMPARE(c.options.portDevices.value(3), port3);
    QCOMPARE(c.options.indicatorFile, opened);
}

// Only an indicator file starts the simulated meter; what is not a regular file is refused by
// the input guard every reader shares (its other refusals are kaldorctl's test's).
void TestShellParts::simulatedMeterFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem"); // a part of the refusal; empty: the meter starts

    QTest::newRow("the built-in sample") << "sample"
                                         << "";
    QTest::newRow("an indicator file") << "idr"
                                       << "";
    QTest::newRow("a directory") << "dir"
                                 << "not a regular file (a directory)";
    QTest::newRow("not an indicator file") << "text"
                                           << "is not an indicator file";
}

void TestShellParts::simulatedMeterFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(kind);
    QFile f(path);
    if (kind == QLatin1String("sample")) {
        path.clear();
    } else if (kind == QLatin1String("idr")) {
        QVERIFY(QFile::copy(QStringLiteral(":/samples/three-tanks.idr"), path));
    } else if (kind == QLatin1String("dir")) {
        QVERIFY(QDir(dir.path()).mkdir(kind));
    } else if (kind == QLatin1String("text")) {
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Level;Volume\n");
    }
    f.close();

    QString why;
    const std::unique_ptr<Simulation> s = Simulation::load(path, &why);
    if (problem.isEmpty()) {
        QVERIFY2(s, qPrintable(why));
        return;
    }
    QVERIFY(!s);
    QVERIFY2(why.contains(problem), qPrintable(why));
}

QTEST_MAIN(TestShellParts)
#include "tst_shellparts.moc"
