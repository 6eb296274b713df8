// The main window driven by its widgets' names against the in-process simulated meter: the
// titles, start-up with each port outcome, the port window, clear, the keypad, a read and a
// write through the Clone menu, a second exchange while one runs, and the ways out.

#include "link/link.h"
#include "shell/mainwindow.h"
#include "sim/simulatedport.h"
#include "store/indicatorfile.h"
#include "store/messages.h"
#include "store/workingfile.h"
#include "tests/link/linktesthelpers.h"
#include "tests/support/scripteddialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <mutex>

using namespace kaldor;

namespace {

// A simulated line whose open() can be made to fail as a real port would.
class TestPort : public SimulatedPort {
public:
    TestPort(std::shared_ptr<SimulatedMeter> meter, MeterTiming timing, PortStatus opening)
        : SimulatedPort(std::move(meter), timing), m_opening(std::move(opening))
    {
    }
    PortStatus open() override { return m_opening.ok() ? SimulatedPort::open() : m_opening; }

private:
    PortStatus m_opening;
};

// The program's parts wired as main() wires them, with the meter's port made by the test.
struct Rig {
    explicit Rig(IndicatorImage image = testing::twoBlockImage(), MeterTiming timing = {})
        : meter(std::make_shared<SimulatedMeter>(image)), timing(timing)
    {
        link = std::make_unique<Link>(
            [this](const PortSpec& port) -> std::unique_ptr<SerialPort> {
                auto p = std::make_unique<TestPort>(meter, this->timing, failures.value(port.number));
                const std::lock_guard lock(mutex);
                ports.append(p.get());
                opened.append(port.number);
                return p;
            },
            WaitBounds{150, 300});
        window = std::make_unique<MainWindow>(*link, dialogs);
    }
    ~Rig()
    {
        window.reset();
        link.reset();
    }

    // What the program wrote to the meter on every port it made, in order.
    QByteArray sent()
    {
        const std::lock_guard lock(mutex);
        QByteArray all;
        for (TestPort* p : ports)
            all += p->sentBytes();
        return all;
    }
    QList<int> portsOpened()
    {
        const std::lock_guard lock(mutex);
        return opened;
    }
    QAction* action(const char* name) { return window->findChild<QAction*>(QLatin1String(name)); }
    template <class T> T* child(const char* name) { return window->findChild<T*>(QLatin1String(name)); }
    bool waitIdle()
    {
        QTest::qWait(20);
        return QTest::qWaitFor([this] { return !link->isBusy(); }, 10000);
    }

    std::shared_ptr<SimulatedMeter> meter;
    MeterTiming timing;
    QMap<int, PortStatus> failures; // port number -> how opening it fails
    std::mutex mutex;
    QList<TestPort*> ports; // owned by the link
    QList<int> opened;
    ScriptedDialogs dialogs;
    std::unique_ptr<Link> link;
    std::unique_ptr<MainWindow> window;
};

PortStatus failing(PortError e) { return PortStatus{e, QStringLiteral("test port refused")}; }

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void titles();
    void startUp_data();
    void startUp();
    void gaugeRuns();
    void portWindow_data();
    void portWindow();
    void clear_data();
    void clear();
    void keypad();
    void download_data();
    void download();
    void upload_data();
    void upload();
    void secondExchangeWhileBusy();
    void closedMidExchange();
    void helpContents();
    void exitAndClose_data();
    void exitAndClose();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

// The working file lives in the current directory: every test gets a fresh one.
void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestMainWindow::cleanup()
{
    QDir::setCurrent(m_oldDir);
    m_dir.reset();
}

void TestMainWindow::titles()
{
    Rig rig;
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR"));
    rig.window->startUp();
    auto* box = rig.child<QCheckBox>("Check1");
    QVERIFY(!box->isChecked());
    QCOMPARE(box->text(), QStringLiteral("Check this box if meter flashes model number"));
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Offset Capable)"));
    QVERIFY(rig.window->offsetMode());
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Not Offset Capable)"));
    QVERIFY(!rig.window->offsetMode());
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Offset Capable)"));
    QVERIFY(rig.window->offsetMode());
    QVERIFY(rig.waitIdle());
    QVERIFY(rig.dialogs.messages().isEmpty());
}

void TestMainWindow::startUp_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("animates");
    QTest::addColumn<bool>("ends");

    QTest::newRow("port opens") << int(PortError::None) << QStringList{} << true << false;
    QTest::newRow("held by another program")
        << int(PortError::HeldByOther) << QStringList{"Port unavailable. Choose another port."}
        << true << false;
    QTest::newRow("device unavailable") << int(PortError::Unavailable) << QStringList{} << false
                                        << false;
    QTest::newRow("not open") << int(PortError::NotOpen) << QStringList{"Error:  8012"} << false
                              << true;
    QTest::newRow("already open") << int(PortError::AlreadyOpen) << QStringList{"Error:  8013"}
                                  << false << true;
    QTest::newRow("permission denied") << int(PortError::PermissionDenied)
                                       << QStringList{errorText(err::kPermissionDenied) + "\ntest port refused"} << false
                                       << false;
}

void TestMainWindow::startUp()
{
    QFETCH(int, error);
    QFETCH(QStringList, messages);
    QFETCH(bool, animates);
    QFETCH(bool, ends);

    Rig rig;
    rig.failures[1] = failing(PortError(error));
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    rig.window->startUp();
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.waitIdle());
    QTest::qWait(50);
    QCOMPARE(rig.portsOpened(), QList<int>{1});
    QCOMPARE(rig.dialogs.messages(), messages);
    QCOMPARE(rig.link->isPortOpen(), error == int(PortError::None));
    QCOMPARE(ended.size(), ends ? 1 : 0);

    auto* label = rig.child<QLabel>("Label2");
    const QString before = label->text();
    QTest::qWait(3 * MainWindow::kGaugeStepMs);
    QCOMPARE(label->text() != before, animates);
}

// The needle climbs 1 .. 100 and comes back down; the label follows it with a leading blank.
void TestMainWindow::gaugeRuns()
{
    Rig rig;
    rig.window->startUp();
    auto* label = rig.child<QLabel>("Label2");
    QSet<QString> seen;
    QStringList order;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QString t = label->text();
            if (order.isEmpty() || order.constLast() != t)
                order.append(t);
            seen.insert(t);
            return seen.contains(QStringLiteral(" 100")) && order.constLast() == QStringLiteral(" 90");
        },
        30000));
    const QString joined = order.join(QLatin1Char(','));
    QVERIFY(joined.contains(QStringLiteral(" 99, 100, 99")) || joined.contains(QStringLiteral(" 100, 99")));
    for (const QString& t : std::as_const(order)) {
        QVERIFY2(t.startsWith(QLatin1Char(' ')), qPrintable(t));
        const int v = t.mid(1).toInt();
        QVERIFY(v >= 1 && v <= 100);
    }
}

void TestMainWindow::portWindow_data()
{
    QTest::addColumn<int>("current");  // the port open before the window is shown
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("failure"); // how opening the chosen port fails; -1: Cancel, not OK
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("windowCloses");
    QTest::addColumn<bool>("portOpen");

    QTest::newRow("port 3 to port 2") << 3 << 2 << int(PortError::None) << QStringList{} << true << true;
    QTest::newRow("port 1 to port 4") << 1 << 4 << int(PortError::None) << QStringList{} << true << true;
    QTest::newRow("held by another program")
        << 1 << 2 << int(PortError::HeldByOther)
        << QStringList{"Port unavailable. Choose another port."} << true << false;
    QTest::newRow("device not open: the window stays for another choice")
        << 1 << 3 << int(PortError::NotOpen) << QStringList{"Error:  8012"} << false << false;
    QTest::newRow("cancel changes nothing") << 1 << 4 << -1 << QStringList{} << true << true;
}

void TestMainWindow::portWindow()
{
    QFETCH(int, current);
    QFETCH(int, chosen);
    QFETCH(int, failure);
    QFETCH(QStringList, messages);
    QFETCH(bool, windowCloses);
    QFETCH(bool, portOpen);

    Rig rig;
    const bool cancel = failure < 0;
    if (!cancel)
        rig.failures[chosen] = failing(PortError(failure));
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    if (current != 1) {
        QVERIFY(rig.link->openPort(PortSpec{current, {}}));
        QVERIFY(rig.waitIdle());
    }
    rig.action("gcomm")->trigger();
    auto* ports = rig.window->findChild<QWidget*>(QStringLiteral("Portscrn"));
    QVERIFY(ports && ports->isVisible());
    QCOMPARE(ports->windowTitle(), QStringLiteral("Port Setting"));
    QVERIFY(rig.window->isVisible()); // modeless: the main window stays
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(ports->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(n))->isChecked(), n == current);

    QPointer<QWidget> guard(ports); // the window deletes itself when it closes
    ports->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(chosen))->click();
    QTest::mouseClick(ports->findChild<QPushButton*>(cancel ? "Command1" : "Command2"), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), messages, 5000);
    QTest::qWait(20);
    const int portAfter = cancel ? current : chosen;
    QCOMPARE(rig.portsOpened().constLast(), portAfter);
    QCOMPARE(rig.link->isPortOpen(), portOpen);
    QCOMPARE(rig.link->portSpec().number, portAfter);
    QTRY_COMPARE(bool(guard && guard->isVisible()), !windowCloses);
}

void TestMainWindow::clear_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // a prefix of the one message, or empty for none

    QTest::newRow("yes") << true << true << QByteArray::fromHex("02434C0D") << "Clear Command Sent";
    QTest::newRow("cancel") << false << true << QByteArray() << "";
    QTest::newRow("yes with the port closed")
        << true << false << QByteArray() << "The serial port";
}

void TestMainWindow::clear()
{
    QFETCH(bool, yes);
    QFETCH(bool, portOpen);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);

    Rig rig;
    if (!portOpen)
        rig.failures[1] = failing(PortError::Unavailable); // silent at start-up
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.meter->image().length(), 16);

    rig.action("aclear")->trigger();
    auto* clear = rig.window->findChild<QWidget*>(QStringLiteral("clearit"));
    QVERIFY(clear && clear->isVisible());
    QCOMPARE(clear->windowTitle(), QStringLiteral("Clear it?"));
    QCOMPARE(clear->findChild<QLabel*>("Label1")->text(),
             QStringLiteral("Clearing the indicator will erase all tank data from the indicator. "
                            "Are you sure you want to clear the indicator?"));
    QVERIFY(rig.window->isVisible());
    QPointer<QWidget> guard(clear);
    QTest::mouseClick(clear->findChild<QPushButton*>(yes ? "Command1" : "Command2"), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QTRY_VERIFY(!guard || !guard->isVisible());
    QCOMPARE(rig.sent(), bytes);
    const QStringList shown = rig.dialogs.messages();
    QCOMPARE(shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(shown.constFirst().startsWith(message), qPrintable(shown.constFirst()));
    QCOMPARE(rig.meter->commandCount("CL"), bytes.isEmpty() ? 0 : 1);
}

// The keypad takes the main window's place; every key is one frame, nothing is read back.
void TestMainWindow::keypad()
{
    Rig rig;
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    rig.action("aprog")->trigger();
    auto* pad = rig.window->findChild<QWidget*>(QStringLiteral("Cali"));
    QVERIFY(pad && pad->isVisible());
    QCOMPARE(pad->windowTitle(), QStringLiteral("Program and Calibrate"));
    QVERIFY(!rig.window->isVisible());
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.sent(), QByteArray::fromHex("0250470D"));

    auto press = [&](const char* name, int times) {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(pad->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    };
    press("Command1", 3);
    press("Command2", 1);
    press("Command3", 1);
    QTRY_COMPARE(rig.meter->commandCount("SW"), 1);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.sent(), QByteArray::fromHex("0250470D" "0255500D0255500D0255500D" "02444E0D" "0253570D"));
    QCOMPARE(rig.meter->commandCount("UP"), 3);

    pad->close();
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.sent().size(), 24); // closing sends nothing
    QVERIFY(rig.dialogs.messages().isEmpty());
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Offset Capable)"));
}

void TestMainWindow::download_data()
{
    QTest::addColumn<QString>("fault"); // on the meter, empty for none
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("fileAfter");

    QTest::newRow("two blocks") << "" << "Indicator Data Read" << true;
    QTest::newRow("stops after one block") << "AU:1:stop" << "Comm timeout  4" << false;
}

void TestMainWindow::download()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(bool, fileAfter);

    Rig rig;
    if (!fault.isEmpty())
        rig.meter->addFault(*MeterFault::parse(fault));
    // A stale working file goes too when the read fails.
    {
        QFile stale(workingFilePath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(" 0 ,  0 ,  0 \r\n");
    }
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    auto* bar = rig.child<QProgressBar>("pbMain");
    QVERIFY(!bar->isVisible());
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values.append(v); });

    rig.action("dwnldall")->trigger();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->value(), 0);
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), QStringList{message}, 5000);
    QVERIFY(!bar->isVisible());
    QCOMPARE(QFile::exists(workingFilePath()), fileAfter);
    if (fileAfter) {
        QCOMPARE(values, (QList<int>{0, 50, 100}));
        QFile f(workingFilePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(" 0 ,  2 ,  1 ,  2 ,  3 ,  4 ,  5 ,  6 ,  7 ,  8 ,  9 ,  10 "
                                         ",  11 ,  12 ,  13 ,  14 ,  15 ,  16 ,  9 \r\n"));
    }
}

void TestMainWindow::upload_data()
{
    QTest::addColumn<QByteArray>("workingFile"); // empty: none
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray twoBlocksFile = " 0 ,  2 ,  1 ,  2 ,  3 ,  4 ,  5 ,  6 ,  7 ,  8 ,  9 ,  10 ,  11 "
                                     ",  12 ,  13 ,  14 ,  15 ,  16 ,  16 \r\n";
    const QByteArray frames = QByteArray::fromHex("0241440D" "0002" "0102030405060708"
                                                  "090A0B0C0D0E0F10" "10");
    QTest::newRow("two blocks") << twoBlocksFile << "" << "Data Sent" << frames;
    QTest::newRow("no working file") << QByteArray() << "" << "Get Indicator data first "
                                     << QByteArray();
    QTest::newRow("command refused") << twoBlocksFile << "AD:1:nack" << "Command not accepted"
                                     << QByteArray::fromHex("0241440D");
}

void TestMainWindow::upload()
{
    QFETCH(QByteArray, workingFile);
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);

    Rig rig(IndicatorImage::fromBytes(QByteArray(8, '\x55')));
    if (!fault.isEmpty())
        rig.meter->addFault(*MeterFault::parse(fault));
    if (!workingFile.isEmpty()) {
        QFile f(workingFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(workingFile);
    }
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    rig.action("aupldall")->trigger();
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), QStringList{message}, 5000);
    QCOMPARE(rig.sent(), bytes);
    if (message == QLatin1String("Data Sent"))
        QCOMPARE(rig.meter->image().bytes(), testing::twoBlockImage().bytes());
    QVERIFY(!rig.child<QProgressBar>("pbMain")->isVisible()); // the upload has no bar
}

// A second exchange while a read is on the paced line is refused at once and nothing of it
// reaches the wire; the windows stay usable meanwhile.
void TestMainWindow::secondExchangeWhileBusy()
{
    QByteArray bytes;
    for (int i = 0; i < 8 * 40; ++i)
        bytes.append(char(i));
    Rig rig(IndicatorImage::fromBytes(bytes), MeterTiming{true, std::chrono::milliseconds(2)});
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    rig.action("dwnldall")->trigger();
    QVERIFY(rig.link->isBusy());
    rig.action("aclear")->trigger();
    auto* clear = rig.window->findChild<QWidget*>(QStringLiteral("clearit"));
    QTest::mouseClick(clear->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    rig.action("dwnldall")->trigger();
    QTest::mouseClick(rig.child<QCheckBox>("Check1"), Qt::LeftButton);
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Not Offset Capable)"));
    QCOMPARE(rig.dialogs.messages(), (QStringList{Link::kBusyMessage, Link::kBusyMessage}));
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages().size(), 3, 5000);
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Indicator Data Read"));
    QCOMPARE(rig.meter->commandCount("CL"), 0);
    QCOMPARE(rig.sent().count('\x02'), 1); // one command frame: AU
}

// The main window may go while the link still reads: nothing crashes, the link finishes or
// is called off when it goes too.
void TestMainWindow::closedMidExchange()
{
    QByteArray bytes(8 * 200, '\x33');
    Rig rig(IndicatorImage::fromBytes(bytes), MeterTiming{true, std::chrono::milliseconds(2)});
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    rig.action("dwnldall")->trigger();
    QTest::qWait(50);
    QVERIFY(rig.link->isBusy());
    rig.window->close();
    QCOMPARE(ended.size(), 1);
    QVERIFY(rig.window->closedByUser());
    rig.window.reset();
    rig.link.reset(); // calls the read off and joins the link thread
    QVERIFY(rig.dialogs.messages().isEmpty());
}

void TestMainWindow::helpContents()
{
    Rig rig;
    rig.window->startUp();
    rig.action("ahelp")->trigger();
    auto* browser = rig.window->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
    QVERIFY(browser && browser->window()->isVisible());
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Clear it?")));
    QVERIFY(rig.dialogs.messages().isEmpty());
}

void TestMainWindow::exitAndClose_data()
{
    QTest::addColumn<bool>("exit"); // Exit in the menu, else the window's close box
    QTest::addColumn<bool>("workingFile");
    QTest::newRow("exit without a working file") << true << false;
    QTest::newRow("exit with a working file") << true << true;
    QTest::newRow("close without a working file") << false << false;
    QTest::newRow("close with a working file") << false << true;
}

void TestMainWindow::exitAndClose()
{
    QFETCH(bool, exit);
    QFETCH(bool, workingFile);
    if (workingFile) {
        QFile f(workingFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(" 0 ,  0 ,  0 \r\n");
    }
    Rig rig;
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    QVERIFY(rig.link->isPortOpen());
    if (exit)
        rig.action("gexit")->trigger();
    else
        rig.window->close();
    QCOMPARE(ended.size(), 1);
    QVERIFY(rig.window->closedByUser());
    QVERIFY(!QFile::exists(workingFilePath()));
    QVERIFY(rig.waitIdle());
    QVERIFY(!rig.link->isPortOpen());
    QVERIFY(rig.dialogs.messages().isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
