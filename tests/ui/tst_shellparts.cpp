// The command line: what the program is to do, with which files and ports.

#include "shell/commandline.h"

#include <QtTest>

using namespace kaldor;
using Action = CommandLine::Action;

class TestShellParts : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
};

void TestShellParts::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port3"); // the device mapped to port option 3
    QTest::addColumn<QString>("opened"); // the indicator file to open in the viewer

    QTest::newRow("nothing") << QStringList{} << int(Action::Run) << false << "" << "" << "";
    QTest::newRow("simulate with a file")
        << QStringList{"--simulate", "m.idr"} << int(Action::Run) << true << "m.idr" << "" << "";
    QTest::newRow("a tank file opens the editor")
        << QStringList{"Curve.TNK"} << int(Action::Run) << false << "Curve.TNK" << "" << "";
    QTest::newRow("an indicator file opens the viewer")
        << QStringList{"--port", "1=/dev/x", "/d/M.IDR"} << int(Action::Run) << false << "" << ""
        << "/d/M.IDR";
    QTest::newRow("a file of another kind") << QStringList{"m.txt"} << int(Action::Error) << false
                                            << "" << "" << "";
    QTest::newRow("two files") << QStringList{"--simulate", "a.idr", "b.idr"} << int(Action::Error)
                               << true << "" << "" << "";
    QTest::newRow("port with = in the device")
        << QStringList{"--port=3=/tmp/a=b"} << int(Action::Run) << false << "" << "/tmp/a=b" << "";
    QTest::newRow("port 0") << QStringList{"--port", "0=/dev/x"} << int(Action::Error) << false
                            << "" << "" << "";
    QTest::newRow("port 5") << QStringList{"--port", "5=/dev/x"} << int(Action::Error) << false
                            << "" << "" << "";
    QTest::newRow("port without device") << QStringList{"--port", "2="} << int(Action::Error)
                                         << false << "" << "" << "";
    QTest::newRow("help") << QStringList{"--help"} << int(Action::Help) << false << "" << "" << "";
    QTest::newRow("version") << QStringList{"--version"} << int(Action::Version) << false << ""
                             << "" << "";
    QTest::newRow("unknown option") << QStringList{"--fast"} << int(Action::Error) << false << ""
                                    << "" << "";
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

QTEST_MAIN(TestShellParts)
#include "tst_shellparts.moc"
