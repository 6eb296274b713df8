// The command line, the about box and the help window.

#include "shell/aboutwindow.h"
#include "shell/commandline.h"
#include "shell/helpwindow.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

using namespace kaldor;
using Action = CommandLine::Action;

class TestShellParts : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void versionText_data();
    void versionText();
    void aboutBox();
    void help();
};

void TestShellParts::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port3"); // the device mapped to port option 3

    QTest::newRow("nothing") << QStringList{} << int(Action::Run) << false << "" << "";
    QTest::newRow("simulate") << QStringList{"--simulate"} << int(Action::Run) << true << "" << "";
    QTest::newRow("simulate with a file")
        << QStringList{"--simulate", "m.idr"} << int(Action::Run) << true << "m.idr" << "";
    QTest::newRow("a file without simulate") << QStringList{"m.idr"} << int(Action::Error) << false
                                             << "" << "";
    QTest::newRow("two files") << QStringList{"--simulate", "a.idr", "b.idr"} << int(Action::Error)
                               << true << "" << "";
    QTest::newRow("port 3") << QStringList{"--port", "3=/dev/pts/7"} << int(Action::Run) << false
                            << "" << "/dev/pts/7";
    QTest::newRow("port with = in the device")
        << QStringList{"--port=3=/tmp/a=b"} << int(Action::Run) << false << "" << "/tmp/a=b";
    QTest::newRow("port 0") << QStringList{"--port", "0=/dev/x"} << int(Action::Error) << false
                            << "" << "";
    QTest::newRow("port 5") << QStringList{"--port", "5=/dev/x"} << int(Action::Error) << false
                            << "" << "";
    QTest::newRow("port without device") << QStringList{"--port", "2="} << int(Action::Error)
                                         << false << "" << "";
    QTest::newRow("help") << QStringList{"--help"} << int(Action::Help) << false << "" << "";
    QTest::newRow("version") << QStringList{"--version"} << int(Action::Version) << false << ""
                             << "";
    QTest::newRow("unknown option") << QStringList{"--fast"} << int(Action::Error) << false << ""
                                    << "";
}

void TestShellParts::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(bool, simulate);
    QFETCH(QString, file);
    QFETCH(QString, port3);

    const CommandLine c = parseCommandLine(QStringList{QStringLiteral("kaldor")} + args);
    QCOMPARE(int(c.action), action);
    if (c.action != Action::Run) {
        QVERIFY(!c.text.isEmpty());
        return;
    }
    QCOMPARE(c.options.simulate, simulate);
    QCOMPARE(c.options.simulateFile, file);
    QCOMPARE(c.options.portDevices.value(3), port3);
}

void TestShellParts::versionText_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("shown");
    QTest::newRow("three parts") << "1.0.2" << "Version 1.0.2";
    QTest::newRow("leading zeros") << "01.00.02" << "Version 1.0.2";
    QTest::newRow("build number dropped") << "2.3.4.5" << "Version 2.3.4";
    QTest::newRow("two parts") << "1.4" << "Version 1.4.0";
}

void TestShellParts::versionText()
{
    QFETCH(QString, version);
    QFETCH(QString, shown);
    QCOMPARE(kaldor::versionText(version), shown);
}

void TestShellParts::aboutBox()
{
    AboutWindow about;
    QList<QUrl> opened;
    about.setUrlOpener([&](const QUrl& url) { opened.append(url); });
    about.show();
    QCOMPARE(about.windowTitle(), QStringLiteral("About KALDOR"));
    QCOMPARE(about.findChild<QLabel*>("lblTitle")->text(), QStringLiteral("KALDOR"));
    QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(),
             kaldor::versionText(QStringLiteral(KALDOR_VERSION)));
    for (const char* name : {"lblDescription", "lblDisclaimer", "Label2", "picIcon"})
        QVERIFY2(about.findChild<QLabel*>(name), name);

    auto* address = about.findChild<QLabel*>("Label1");
    QTest::mouseClick(address, Qt::LeftButton);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.constFirst(), QUrl(address->text()));
    QVERIFY(opened.constFirst().isValid());

    QTest::mouseClick(about.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    QVERIFY(!about.isVisible());
}

void TestShellParts::help()
{
    HelpWindow window;
    QVERIFY(!window.load(QStringLiteral(":/help/none.html")));
    QVERIFY(window.load());
    const QString text = window.findChild<QTextBrowser*>("helpBrowser")->toPlainText();
    // The manual covers every window the main menu opens and the messages it shows.
    for (const char* topic : {"Port Setting", "Clear it?", "Program and Calibrate", "All1.DAT",
                              "Indicator Data Read", "Port unavailable. Choose another port."})
        QVERIFY2(text.contains(QLatin1String(topic)), topic);
}

QTEST_MAIN(TestShellParts)
#include "tst_shellparts.moc"
