// The main window driven by its widgets' names against the in-process simulated meter: one road
// through every window a technician uses (port, read, clear, write back, keypad, help, Exit),
// then the ways each step can fail, a second exchange while one runs, and closing mid-read.

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

#include <cstdlib>
#include <functional>
#include <mutex>

using namespace kaldor;

namespace {

// A simulated line whose open() can be made to fail as a real port would; it tells when the
// link deletes it (on the link's thread).
class TestPort : public SimulatedPort {
public:
    TestPort(std::shared_ptr<SimulatedMeter> meter, MeterTiming timing, PortStatus opening,
             std::function<void(TestPort*)> deleted)
        : SimulatedPort(std::move(meter), timing), m_opening(std::move(opening)),
          m_deleted(std::move(deleted))
    {
    }
    ~TestPort() override { m_deleted(this); }
    PortStatus open() override { return m_opening.ok() ? SimulatedPort::open() : m_opening; }

private:
    PortStatus m_opening;
    std::function<void(TestPort*)> m_deleted;
};

// The program's parts wired as main() wires them, with the meter's port made by the test.
struct Rig {
    explicit Rig(IndicatorImage image = testing::twoBlockImage(), MeterTiming timing = {})
        : meter(std::make_shared<SimulatedMeter>(image)), timing(timing)
    {
        link = std::make_unique<Link>(
            [this](const PortSpec& port) -> std::unique_ptr<SerialPort> {
                auto deleted = [this](TestPort* gone) {
                    const std::lock_guard lock(mutex);
                    sentOnDeletedPorts += gone->sentBytes();
                    ports.removeOne(gone);
                };
                auto p = std::make_unique<TestPort>(meter, this->timing,
                                                    failures.value(port.number), deleted);
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
        QByteArray all = sentOnDeletedPorts;
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
    QList<TestPort*> ports; // owned by the link, which deletes the one it no longer uses
    QByteArray sentOnDeletedPorts;
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
    void oneRoad();
    void startUp_data();
    void startUp();
    void portWindow_data();
    void portWindow();
    void clear_data();
    void clear();
    void exchangeFails_data();
    void exchangeFails();
    void secondExchangeWhileBusy();
    void closedMidExchange();

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

// Start-up, the offset mode, another port, a read over a stale working file, clear, the image
// written back, the keypad, help, and Exit, each window opened from the menu.
void TestMainWindow::oneRoad()
{
    {
        QFile stale(workingFilePath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(" 0 ,  0 ,  0 \r\n");
    }
    Rig rig;
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    rig.window->startUp();
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Offset Capable)"));
    QVERIFY(rig.waitIdle());

    // The gauge moves one step at a time, its label led by a blank.
    auto* label = rig.child<QLabel>("Label2");
    QStringList steps{label->text()};
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (label->text() != steps.constLast())
                steps.append(label->text());
            return steps.size() == 3;
        },
        5000));
    for (int i = 1; i < steps.size(); ++i) {
        QVERIFY2(steps[i].startsWith(QLatin1Char(' ')), qPrintable(steps[i]));
        QCOMPARE(std::abs(steps[i].mid(1).toInt() - steps[i - 1].mid(1).toInt()), 1);
    }

    // Every click inverts the mode.
    QTest::mouseClick(rig.child<QCheckBox>("Check1"), Qt::LeftButton);
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Not Offset Capable)"));
    QVERIFY(!rig.window->offsetMode());

    // The port window is modeless and shows the open port; OK opens the chosen one and closes.
    rig.action("gcomm")->trigger();
    auto* ports = rig.window->findChild<QWidget*>(QStringLiteral("Portscrn"));
    QVERIFY(ports && ports->isVisible() && rig.window->isVisible());
    QVERIFY(ports->findChild<QRadioButton*>(QStringLiteral("Option1"))->isChecked());
    QPointer<QWidget> portGuard(ports);
    ports->findChild<QRadioButton*>(QStringLiteral("Option3"))->click();
    QTest::mouseClick(ports->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QTRY_VERIFY(!portGuard || !portGuard->isVisible());
    QCOMPARE(rig.portsOpened(), (QList<int>{1, 3}));
    QVERIFY(rig.link->isPortOpen());

    // A read replaces the stale working file; the bar shows each block.
    auto* bar = rig.child<QProgressBar>("pbMain");
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values.append(v); });
    rig.action("dwnldall")->trigger();
    QVERIFY(bar->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), QStringList{"Indicator Data Read"}, 5000);
    QVERIFY(!bar->isVisible());
    QCOMPARE(values, (QList<int>{0, 50, 100}));
    {
        QFile f(workingFilePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(" 0 ,  2 ,  1 ,  2 ,  3 ,  4 ,  5 ,  6 ,  7 ,  8 ,  9 ,  10 "
                                         ",  11 ,  12 ,  13 ,  14 ,  15 ,  16 ,  9 \r\n"));
    }

    // Clear empties the meter; writing the working file back restores its image.
    rig.action("aclear")->trigger();
    auto* clear = rig.window->findChild<QWidget*>(QStringLiteral("clearit"));
    QVERIFY(clear && clear->isVisible());
    QPointer<QWidget> clearGuard(clear);
    QTest::mouseClick(clear->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QTRY_VERIFY(!clearGuard || !clearGuard->isVisible());
    QTRY_COMPARE(rig.dialogs.messages().size(), 2);
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Clear Command Sent"));
    QVERIFY(rig.meter->image().bytes() != testing::twoBlockImage().bytes());
    rig.action("aupldall")->trigger();
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().size(), 3);
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), testing::twoBlockImage().bytes());

    // The keypad takes the main window's place and puts the meter into programming mode; keys
    // pressed while one is on its way are sent in turn; closing sends nothing.
    rig.action("aprog")->trigger();
    auto* pad = rig.window->findChild<QWidget*>(QStringLiteral("Cali"));
    QVERIFY(pad && pad->isVisible());
    QVERIFY(!rig.window->isVisible());
    for (const char* key : {"Command1", "Command1", "Command1", "Command2", "Command3"})
        QTest::mouseClick(pad->findChild<QPushButton*>(QLatin1String(key)), Qt::LeftButton);
    QTRY_COMPARE(rig.meter->commandCount("SW"), 1);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.sent().right(24), QByteArray::fromHex("0250470D" "0255500D0255500D0255500D"
                                                       "02444E0D" "0253570D"));
    pad->close();
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.waitIdle());
    QVERIFY(rig.sent().endsWith(QByteArray::fromHex("0253570D")));

    rig.action("ahelp")->trigger();
    auto* browser = rig.window->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
    QVERIFY(browser && browser->window()->isVisible());
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Clear it?")));

    // Exit ends the program, closes the port and removes the working file.
    QCOMPARE(rig.dialogs.messages().size(), 3);
    rig.action("gexit")->trigger();
    QCOMPARE(ended.size(), 1);
    QVERIFY(rig.window->closedByUser());
    QVERIFY(!QFile::exists(workingFilePath()));
    QVERIFY(rig.waitIdle());
    QVERIFY(!rig.link->isPortOpen());
    QCOMPARE(rig.dialogs.messages().size(), 3);
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestMainWindow::startUp_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("animates");
    QTest::addColumn<bool>("ends");

    QTest::newRow("held by another program")
        << int(PortError::HeldByOther) << QStringList{"Port unavailable. Choose another port."}
        << true << false;
    QTest::newRow("device unavailable") << int(PortError::Unavailable) << QStringList{} << false
                                        << false;
    QTest::newRow("not open") << int(PortError::NotOpen) << QStringList{"Error:  8012"} << false
                              << true;
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
    QVERIFY(!rig.link->isPortOpen());
    QCOMPARE(ended.size(), ends ? 1 : 0);

    auto* label = rig.child<QLabel>("Label2");
    const QString before = label->text();
    QTest::qWait(3 * MainWindow::kGaugeStepMs);
    QCOMPARE(label->text() != before, animates);
}

void TestMainWindow::portWindow_data()
{
    QTest::addColumn<int>("current");  // the port open before the window is shown
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("failure"); // how opening the chosen port fails; -1: Cancel, not OK
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("windowCloses");
    QTest::addColumn<bool>("portOpen");

    QTest::newRow("held by another program")
        << 1 << 2 << int(PortError::HeldByOther)
        << QStringList{"Port unavailable. Choose another port."} << true << false;
    QTest::newRow("device not open: the window stays for another choice")
        << 1 << 3 << int(PortError::NotOpen) << QStringList{"Error:  8012"} << false << false;
    QTest::newRow("cancel changes nothing") << 3 << 4 << -1 << QStringList{} << true << true;
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
    QTest::addColumn<QString>("message"); // a prefix of the one message, or empty for none

    QTest::newRow("cancel") << false << true << "";
    QTest::newRow("yes with the port closed") << true << false << "The serial port";
}

// Neither sends anything; the window closes either way.
void TestMainWindow::clear()
{
    QFETCH(bool, yes);
    QFETCH(bool, portOpen);
    QFETCH(QString, message);

    Rig rig;
    if (!portOpen)
        rig.failures[1] = failing(PortError::Unavailable); // silent at start-up
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    rig.action("aclear")->trigger();
    auto* clear = rig.window->findChild<QWidget*>(QStringLiteral("clearit"));
    QVERIFY(clear && clear->isVisible());
    QPointer<QWidget> guard(clear);
    QTest::mouseClick(clear->findChild<QPushButton*>(yes ? "Command1" : "Command2"), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QTRY_VERIFY(!guard || !guard->isVisible());
    QCOMPARE(rig.sent(), QByteArray());
    const QStringList shown = rig.dialogs.messages();
    QCOMPARE(shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(shown.constFirst().startsWith(message), qPrintable(shown.constFirst()));
    QCOMPARE(rig.meter->commandCount("CL"), 0);
    QCOMPARE(rig.meter->image().length(), 16);
}

void TestMainWindow::exchangeFails_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("fault"); // on the meter, empty for none
    QTest::addColumn<bool>("workingFile"); // one is there before the exchange
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fileAfter");

    const QByteArray au = QByteArray::fromHex("0241550D");
    const QByteArray ad = QByteArray::fromHex("0241440D");
    QTest::newRow("a read that stops after one block removes even a stale working file")
        << "dwnldall" << "AU:1:stop" << true << "Comm timeout  4" << au << false;
    QTest::newRow("write without a working file")
        << "aupldall" << "" << false << "Get Indicator data first " << QByteArray() << false;
    QTest::newRow("write refused") << "aupldall" << "AD:1:nack" << true << "Command not accepted"
                                   << ad << true;
}

// An exchange that fails leaves the meter's image as it was; the bar is gone.
void TestMainWindow::exchangeFails()
{
    QFETCH(QString, action);
    QFETCH(QString, fault);
    QFETCH(bool, workingFile);
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fileAfter);

    Rig rig;
    if (!fault.isEmpty())
        rig.meter->addFault(*MeterFault::parse(fault));
    if (workingFile) {
        QFile f(workingFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(" 0 ,  1 ,  1 ,  2 ,  3 ,  4 ,  5 ,  6 ,  7 ,  8 ,  9 \r\n");
    }
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    rig.action(qPrintable(action))->trigger();
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), QStringList{message}, 5000);
    QVERIFY(rig.sent().startsWith(bytes));
    QCOMPARE(rig.sent().count('\x02'), bytes.isEmpty() ? 0 : 1);
    QCOMPARE(rig.meter->image().bytes(), testing::twoBlockImage().bytes());
    QCOMPARE(QFile::exists(workingFilePath()), fileAfter);
    QVERIFY(!rig.child<QProgressBar>("pbMain")->isVisible());
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

// The close box may end the program while the link still reads: nothing is shown, nothing
// crashes, and the link finishes or is called off when it goes too.
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
