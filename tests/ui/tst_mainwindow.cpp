// The main window driven by its widgets' names against the in-process simulated meter: one road
// through every window a technician uses (port, line traffic, read, clear, write back, keypad,
// Exit), then the ways opening a port and each exchange can fail, a second exchange while one
// runs, closing the main window or the editor mid-exchange, and every window's write with its
// backup and verify. Then the port window's list of the system's ports, and Escape closing
// each window of its own.

#include "editor/editorwindow.h"
#include "link/linetrafficwindow.h"
#include "link/portwindow.h"
#include "link/safewrite.h"
#include "shell/gauge.h"
#include "store/indicatorfile.h"
#include "store/messages.h"
#include "store/workingfile.h"
#include "tests/support/uirig.h"
#include "viewer/viewerwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include <cstdlib>

using namespace kaldor;
using namespace kaldor::testing;

// Each test starts the main window once it has set the failures.
class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void oneRoad();
    void portFails_data();
    void portFails();
    void exchangeFails_data();
    void exchangeFails();
    void busyThenClosed_data();
    void busyThenClosed();
    void safeWrite_data();
    void safeWrite();
    void portList_data();
    void portList();
    void typedNetworkAddress();
    void escapeCloses_data();
    void escapeCloses();
    void statusBar_data();
    void statusBar();
    void gaugeLabelPicture();

private:
    std::optional<FreshDirectory> m_dir;
};

// Start-up, the offset mode, the line traffic shown, a read over a stale working file, clear,
// the image written back while the traffic view is paused, the keypad, the traffic log saved and
// cleared, and Exit, each window opened from the menu (another port is the port test's).
void TestMainWindow::oneRoad()
{
    writeFile(workingFilePath(), " 0 ,  0 ,  0 \r\n");
    UiRig rig(threeBlockImage(), {}, false);
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    rig.window->startUp();
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Offset Capable)"));
    QVERIFY(rig.waitIdle());

    // The gauge moves one step at a time, its label led by a blank.
    auto* label = rig.find<QLabel>("Label2");
    QStringList steps{label->text()};
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (label->text() != steps.constLast()) steps.append(label->text());
            return steps.size() == 3;
        },
        5000));
    for (int i = 1; i < steps.size(); ++i) {
        QVERIFY2(steps[i].startsWith(QLatin1Char(' ')), qPrintable(steps[i]));
        QCOMPARE(std::abs(steps[i].mid(1).toInt() - steps[i - 1].mid(1).toInt()), 1);
    }

    // Every click inverts the mode.
    QTest::mouseClick(rig.find<QCheckBox>("Check1"), Qt::LeftButton);
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Not Offset Capable)"));
    QVERIFY(!rig.window->offsetMode());

    // A read replaces the stale working file; the bar shows each block, the traffic window its
    // frame.
    rig.find<QAction>("gtraffic")->trigger();
    auto* traffic = rig.find<LineTrafficWindow>("LineTraffic");
    QVERIFY(traffic && traffic->isVisible());
    auto* bar = rig.find<QProgressBar>("pbMain");
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values.append(v); });
    rig.find<QAction>("dwnldall")->trigger();
    QVERIFY(bar->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), QStringList{"Indicator Data Read"}, 5000);
    QVERIFY(!bar->isVisible());
    QCOMPARE(values, (QList<int>{0, 33, 67, 100}));
    QCOMPARE(readFile(workingFilePath()), formatIndicatorFile(3, threeBlockImage(), 0));
    auto* log = traffic->findChild<QPlainTextEdit*>(QStringLiteral("traffic"));
    QTRY_VERIFY(log->toPlainText().contains("frame AU"));

    // Clear empties the meter; writing the working file back restores its image.
    rig.find<QAction>("aclear")->trigger();
    auto* clear = rig.window->findChild<QWidget*>(QStringLiteral("clearit"));
    QVERIFY(clear && clear->isVisible());
    QPointer<QWidget> clearGuard(clear);
    QTest::mouseClick(clear->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QTRY_VERIFY(!clearGuard || !clearGuard->isVisible());
    QTRY_COMPARE(rig.dialogs.messages().size(), 2);
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Clear Command Sent"));
    QVERIFY(rig.meter->image().bytes() != threeBlockImage().bytes());
    // The traffic window shows the clear, which the meter does not answer, as the log is saved
    // (its lines are the trace log's test's).
    QTRY_VERIFY(log->toPlainText().section("frame CL", 1).contains("end: done"));
    // Paused, the window keeps what it shows while the image is written back; resumed, it shows
    // the write.
    auto* pause = traffic->findChild<QPushButton*>(QStringLiteral("pauseTraffic"));
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("&Resume"));
    const QString paused = log->toPlainText();
    values.clear();
    rig.find<QAction>("aupldall")->trigger();
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().size(), 3);
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), threeBlockImage().bytes());
    QCOMPARE(values, (QList<int>{0, 33, 67, 100}));
    QVERIFY(!bar->isVisible());
    traffic->refresh();
    QCOMPARE(log->toPlainText(), paused);
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("&Pause"));
    QVERIFY(log->toPlainText().contains("frame AD"));

    // The keypad takes the main window's place and puts the meter into programming mode; keys
    // pressed while one is on its way are sent in turn; closing sends nothing.
    rig.find<QAction>("aprog")->trigger();
    auto* pad = rig.window->findChild<QWidget*>(QStringLiteral("Cali"));
    QVERIFY(pad && pad->isVisible());
    QVERIFY(!rig.window->isVisible());
    for (const char* key : {"Command1", "Command1", "Command1", "Command2", "Command3"})
        QTest::mouseClick(pad->findChild<QPushButton*>(QLatin1String(key)), Qt::LeftButton);
    QTRY_COMPARE(rig.meter->commandCount("SW"), 1);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.sent().right(24), QByteArray::fromHex("0250470D"
                                                       "0255500D0255500D0255500D"
                                                       "02444E0D"
                                                       "0253570D"));
    pad->close();
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.waitIdle());
    QVERIFY(rig.sent().endsWith(QByteArray::fromHex("0253570D")));

    // The traffic log saved: not when the dialog is cancelled, a folder that is not there said
    // so, then the whole log.
    const QString saved = m_dir->path("traffic.txt");
    for (const QString& name : {QString(), m_dir->path("none/traffic.txt"), saved}) {
        rig.dialogs.queueFileName(name.isEmpty() ? std::nullopt : std::optional<QString>(name));
        QTest::mouseClick(traffic->findChild<QPushButton*>(QStringLiteral("saveLog")),
                          Qt::LeftButton);
    }
    QCOMPARE(rig.dialogs.messages().size(), 4);
    QVERIFY(rig.dialogs.messages()[3].startsWith(m_dir->path("none/traffic.txt: ")));
    QCOMPARE(QDir(m_dir->path({})).entryList({"*.txt"}), QStringList{"traffic.txt"});
    const std::shared_ptr<TraceLog> traceLog = rig.link->traceLog();
    QCOMPARE(readFile(saved), formatTraceLog(traceLog->entries(), traceLog->started()));
    // Clear empties the log and the window.
    QTest::mouseClick(traffic->findChild<QPushButton*>(QStringLiteral("clearTraffic")),
                      Qt::LeftButton);
    QCOMPARE(traceLog->recorded(), 0);
    QCOMPARE(log->toPlainText(), QString());

    // Exit ends the program, closes the port and removes the working file.
    rig.find<QAction>("gexit")->trigger();
    QCOMPARE(ended.size(), 1);
    QVERIFY(rig.window->closedByUser());
    QVERIFY(!QFile::exists(workingFilePath()));
    QVERIFY(rig.waitIdle());
    QVERIFY(!rig.link->isPortOpen());
    QCOMPARE(rig.dialogs.messages().size(), 4);
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestMainWindow::portFails_data()
{
    QTest::addColumn<int>("current"); // the port open when the port window is shown; 0: none shown
    QTest::addColumn<int>("chosen");  // the port opened at start-up or chosen in the window
    QTest::addColumn<int>("failure"); // how opening it fails; -1: the window is cancelled, -2: none
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("animates"); // at start-up: the gauge still moves
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("windowCloses");
    QTest::addColumn<bool>("portOpen");

    const auto row = [](const char* name, int current, int chosen, int failure,
                        const QStringList& messages, bool animates, bool ends, bool closes,
                        bool open) {
        QTest::newRow(name) << current << chosen << failure << messages << animates << ends
                            << closes << open;
    };
    const QString held = QStringLiteral("Port unavailable. Choose another port.");
    const QString permission = errorText(err::kPermissionDenied) + "\ntest port refused";
    row("start-up: held", 0, 1, int(PortError::HeldByOther), {held}, true, false, true, false);
    row("start-up: unavailable", 0, 1, int(PortError::Unavailable), {}, false, false, true, false);
    row("start-up: not open", 0, 1, int(PortError::NotOpen), {"Error:  8012"}, false, true, true,
        false);
    row("start-up: denied", 0, 1, int(PortError::PermissionDenied), {permission}, false, false,
        true, false);
    row("port window: held", 1, 2, int(PortError::HeldByOther), {held}, true, false, true, false);
    // Not open: the window stays for another choice.
    row("port window: not open", 1, 3, int(PortError::NotOpen), {"Error:  8012"}, true, false,
        false, false);
    row("port window: cancel changes nothing", 3, 4, -1, {}, true, false, true, true);
    row("port window: OK opens the one chosen", 1, 3, -2, {}, true, false, true, true);
}

void TestMainWindow::portFails()
{
    QFETCH(int, current);
    QFETCH(int, chosen);
    QFETCH(int, failure);
    QFETCH(QStringList, messages);
    QFETCH(bool, animates);
    QFETCH(bool, ends);
    QFETCH(bool, windowCloses);
    QFETCH(bool, portOpen);

    UiRig rig(threeBlockImage(), {}, false);
    if (failure >= 0) rig.failures[chosen] = failing(PortError(failure));
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    rig.window->startUp();
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.waitIdle());
    QPointer<QWidget> ports; // the window deletes itself when it closes
    if (current > 0) {
        if (current != 1) QVERIFY(rig.link->openPort(nullptr, PortSpec{current, {}}, {}));
        QVERIFY(rig.waitIdle());
        rig.find<QAction>("gcomm")->trigger();
        ports = rig.find("Portscrn");
        QVERIFY(ports && ports->isVisible());
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(
                ports->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(n))->isChecked(),
                n == current);
        ports->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(chosen))->click();
        QVERIFY(rig.window->isVisible()); // the port window is modeless
        QTest::mouseClick(ports->findChild<QPushButton*>(failure == -1 ? "Command1" : "Command2"),
                          Qt::LeftButton);
        QVERIFY(rig.waitIdle());
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), messages, 5000);
    const int portAfter = failure == -1 ? current : chosen;
    QCOMPARE(rig.portsOpened().constLast(), portAfter);
    QCOMPARE(rig.link->isPortOpen(), portOpen);
    QCOMPARE(rig.link->portSpec().number, portAfter);
    QCOMPARE(ended.size(), ends ? 1 : 0);
    QTRY_COMPARE(bool(ports && ports->isVisible()), !windowCloses && current > 0);
    auto* label = rig.find<QLabel>("Label2");
    const QString before = label->text();
    QTest::qWait(3 * MainWindow::kGaugeStepMs);
    QCOMPARE(label->text() != before, animates);
}

void TestMainWindow::exchangeFails_data()
{
    QTest::addColumn<QString>("action");   // aclear:B answers the clear window with button B
    QTest::addColumn<QString>("fault");    // on the meter, empty for none
    QTest::addColumn<bool>("workingFile"); // one is there before the exchange
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("message"); // "…" at the end: a prefix; empty: none
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fileAfter");

    const auto row = [](const char* name, const char* action, const char* fault, bool file,
                        bool open, const char* message, const char* bytes, bool fileAfter) {
        QTest::newRow(name) << QString(action) << QString(fault) << file << open << QString(message)
                            << QByteArray::fromHex(bytes) << fileAfter;
    };
    row("a read that stops after one block removes even a stale working file", "dwnldall",
        "AU:1:stop", true, true, "Comm timeout  4", "0241550D", false);
    row("write without a working file", "aupldall", "", false, true, "Get Indicator data first ",
        "", false);
    row("write refused", "aupldall", "AD:1:nack", true, true, "Command not accepted", "0241440D",
        true);
    row("clear cancelled", "aclear:Command2", "", false, true, "", "", false);
    row("clear with the port closed", "aclear:Command1", "", false, false, "The serial port…", "",
        false);
}

// An exchange that fails, or is not made, leaves the meter's image as it was; the bar and the
// clear window are gone.
void TestMainWindow::exchangeFails()
{
    QFETCH(QString, action);
    QFETCH(QString, fault);
    QFETCH(bool, workingFile);
    QFETCH(bool, portOpen);
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fileAfter);

    UiRig rig(threeBlockImage(), {}, false);
    if (!fault.isEmpty()) rig.meter->addFault(*MeterFault::parse(fault));
    if (!portOpen) rig.failures[1] = failing(PortError::Unavailable); // silent at start-up
    if (workingFile) writeFile(workingFilePath(), formatIndicatorFile(3, threeBlockImage(), 17));
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    rig.find<QAction>(qPrintable(action.section(':', 0, 0)))->trigger();
    QPointer<QWidget> clear = rig.find("clearit");
    if (action.startsWith("aclear")) {
        QVERIFY(clear && clear->isVisible());
        QTest::mouseClick(clear->findChild<QPushButton*>(action.section(':', 1).toLatin1()),
                          Qt::LeftButton);
    }
    QVERIFY(rig.waitIdle());
    if (message.endsWith(u'…')) {
        QTRY_COMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY(rig.dialogs.messages()[0].startsWith(message.chopped(1)));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(),
                                  message.isEmpty() ? QStringList{} : QStringList{message}, 5000);
    }
    QVERIFY(rig.sent().startsWith(bytes));
    QCOMPARE(rig.sent().count('\x02'), bytes.isEmpty() ? 0 : 1);
    QCOMPARE(rig.meter->image().bytes(), threeBlockImage().bytes());
    QCOMPARE(QFile::exists(workingFilePath()), fileAfter);
    QVERIFY(!rig.find<QProgressBar>("pbMain")->isVisible());
    QTRY_VERIFY(!clear || !clear->isVisible());
}

void TestMainWindow::busyThenClosed_data()
{
    QTest::addColumn<QString>("action"); // the main window's read, or the editor's exchange
    QTest::addColumn<bool>("close");
    QTest::newRow("main window read, then done") << "dwnldall" << false;
    QTest::newRow("main window read, closed") << "dwnldall" << true;
    QTest::newRow("editor read, closed") << "tread" << true;
    QTest::newRow("editor send, closed") << "asend" << true;
}

// While an exchange runs on the paced line, a second one is refused at once with the link's
// message and nothing of it reaches the wire; the windows stay usable. The main window's close
// box stops the link at its next wait before it removes the working file, so the read can
// neither write it afterwards nor report anything. Closing the editor shows the main window
// again; its exchange ends unreported and the working file is gone.
void TestMainWindow::busyThenClosed()
{
    QFETCH(QString, action);
    QFETCH(bool, close);
    const bool editor = action != QLatin1String("dwnldall");
    if (editor) {
        writeFile(workingFilePath(),
                  formatIndicatorFile(sampleImage().length() / 8, sampleImage(), 0));
        writeFile("curve.tnk", threePointTankFile(true));
    }
    QByteArray bytes(8 * (close ? 200 : 40), '\x33'); // a read of a second or more
    UiRig rig(editor ? sampleImage() : IndicatorImage::fromBytes(bytes),
              MeterTiming{true, std::chrono::milliseconds(editor ? 10 : 2)}, false);
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    QPointer<EditorWindow> window;
    if (editor) {
        rig.window->showTankEditor("curve.tnk");
        window = rig.find<EditorWindow>("atnkfrm");
        QVERIFY(window);
        rig.trigger("atnkfrm", qPrintable(action));
        QVERIFY(rig.link->isBusy());
        rig.trigger("atnkfrm", "tread");
        rig.trigger("atnkfrm", "asend");
    } else {
        rig.find<QAction>("dwnldall")->trigger();
        QVERIFY(rig.link->isBusy());
        rig.find<QAction>("aclear")->trigger();
        QTest::mouseClick(rig.find("clearit")->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        rig.find<QAction>("dwnldall")->trigger();
        QTest::mouseClick(rig.find<QCheckBox>("Check1"), Qt::LeftButton);
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("KALDOR (Meter Not Offset Capable)"));
    }
    const QStringList busy{Link::kBusyMessage, Link::kBusyMessage};
    QCOMPARE(rig.dialogs.messages(), busy);
    if (editor) {
        rig.trigger("atnkfrm", "tclose");
        QVERIFY(rig.window->isVisible());
        QVERIFY(rig.link->isBusy());
        QVERIFY(rig.waitIdle());
        QTRY_VERIFY(!window);
        QCOMPARE(rig.meter->commandCount(action == "tread" ? "AU" : "CD"), 1);
    } else if (close) {
        QElapsedTimer clock;
        clock.start();
        rig.window->close();
        const qint64 took = clock.elapsed();
        QVERIFY2(took < 200, qPrintable(QStringLiteral("the close took %1 ms").arg(took)));
        QCOMPARE(ended.size(), 1);
        QVERIFY(rig.window->closedByUser());
        QVERIFY(rig.link->isStopped());
    } else {
        QVERIFY(rig.waitIdle());
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), busy + QStringList{"Indicator Data Read"},
                                  5000);
        QCOMPARE(rig.sent().count('\x02'), 1); // one command frame: AU
        QCOMPARE(rig.meter->commandCount("CL"), 0);
        return;
    }
    QVERIFY(!QFile::exists(workingFilePath()));
    QCOMPARE(rig.dialogs.messages(), busy);
}

void TestMainWindow::safeWrite_data()
{
    QTest::addColumn<QString>("window");       // whose write: main, files, viewer, editor, clear
    QTest::addColumn<QStringList>("switched"); // Clone menu items unchecked first
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("answer"); // to a failed backup's or a lost tank's question; -1: none
    QTest::addColumn<QString>("message");   // %B the backup, %R the read-back kept
    QTest::addColumn<QStringList>("steps"); // the window's status line at the end, where it has one

    const auto row = [](const char* name, const char* window, const QString& message,
                        const char* fault = "", int answer = -1, bool all = false,
                        const QStringList& switched = {}) {
        QTest::newRow(name) << QString(window) << switched << QString(fault) << answer << message
                            << (all ? QStringList{"Reading the meter for a backup…", "Sending…",
                                                  "Verifying…", ""}
                                    : QStringList{});
    };
    const QString sent = "Data Sent\n\n";
    const QString kept = "What the meter held before the write is kept in %B\n\n";
    const QString verified = kVerifiedMessage;
    // The file lacks tank 7: the write waits for leave to remove it. Tank 3, its last record
    // now, runs to the end pointer over what was tank 7's.
    const int yes = int(Answer::Yes);
    const QString lost = sent + kept + "Changed in the meter: tank 3.\n\n" + verified;
    row("main window: verified", "main", lost, "", yes);
    row("main window: backup fails, not written", "main", "", "AU:1:nack", int(Answer::No));
    row("main window: backup fails, written without one", "main", sent + verified, "AU:1:nack",
        int(Answer::Yes));
    row("main window: backup and verify switched off", "main", "Data Sent", "", -1, false,
        {"abackup", "averify"});
    row("file management: verified", "files", lost, "", yes);
    row("viewer: verified", "viewer", lost, "", yes, true);
    row("editor: the meter stores a wrong byte", "editor",
        "Tank data sent.\n\n" + kept +
            "The meter does not hold what was sent. Tank  5, point 2: 600 at 50.00 % was sent, "
            "the meter holds 600 at -49.22 %. What the meter holds now is kept in %R",
        "CD:9:store", -1, true);
    row("clear: not cleared", "clear",
        "Clear Command Sent\n\n" + kept +
            "The meter was not cleared: it still holds 3 tanks (12, 3, 7). What the meter holds "
            "now is kept in %R",
        "CL:1:ignore");
}

// Every window's write reads the meter into a backup first and reads it back afterwards; the
// bar runs once through the three, the status names each. A backup that cannot be made stops
// the write until the user says to go on without one; a meter that holds something else is
// reported after the write's own message, never as verified. The backup holds what the meter
// held.
void TestMainWindow::safeWrite()
{
    QFETCH(QString, window);
    QFETCH(QStringList, switched);
    QFETCH(QString, fault);
    QFETCH(int, answer);
    QFETCH(QString, message);
    QFETCH(QStringList, steps);
    // The meter holds tanks 12, 3 and 7; the file sent only the first two.
    IndicatorImage file = sampleImage();
    file.set(layout::kTankCountAddress, 2);
    const QString idr = m_dir->path("sent.idr");
    QVERIFY(writeIndicatorFile(idr, file.length() / 8, file, 0).ok);
    QVERIFY(writeIndicatorFile(workingFilePath(), file.length() / 8, file, 0).ok);
    writeFile("curve.tnk", threePointTankFile(true));
    UiRig rig(sampleImage(), {}, true, true);
    if (!fault.isEmpty()) rig.meter->addFault(*MeterFault::parse(fault));
    QVERIFY(rig.waitIdle());
    for (const char* item : {"abackup", "averify"})
        QVERIFY(rig.find<QAction>(item)->isChecked());
    for (const QString& item : switched)
        rig.find<QAction>(qPrintable(item))->setChecked(false);

    QPointer<QWidget> owner = rig.window.get();
    QString bar = "pbMain";
    if (window == "files" || window == "viewer") {
        rig.window->startWithIndicatorFile(idr);
        owner = rig.find("edtnk");
        bar = "pbEdit";
        if (window == "files") {
            rig.trigger("edtnk", "aclose");
            owner = rig.find("meterform");
            bar.clear();
        }
    } else if (window == "editor") {
        rig.window->showTankEditor("curve.tnk");
        owner = rig.find("atnkfrm");
        bar = "pbTank";
    } else if (window == "clear") {
        rig.trigger(nullptr, "aclear");
        owner = rig.find("clearit");
        bar = "pbClear";
    }
    QVERIFY(owner);
    QStringList shownSteps;
    if (auto* status = owner->findChild<QLineEdit*>("Text1"))
        connect(status, &QLineEdit::textChanged, this,
                [&](const QString& t) { shownSteps.append(t); });
    QList<int> values;
    const QPointer<QProgressBar> progress =
        bar.isEmpty() ? nullptr : owner->findChild<QProgressBar*>(bar);
    // Shown, the bar sits below the whole of the window's text (the clear window's question).
    const QPointer<QLabel> text = owner->findChild<QLabel*>("Label1");
    bool covered = false;
    if (progress)
        connect(progress, &QProgressBar::valueChanged, this, [&](int v) {
            values.append(v);
            if (v > 0 && text && window == "clear")
                covered = covered || text->height() < text->heightForWidth(text->width()) ||
                          text->geometry().intersects(progress->geometry());
        });
    rig.dialogs.clear();
    if (answer >= 0) rig.dialogs.queueAnswer(Answer(answer));
    if (window == "clear")
        QTest::mouseClick(owner->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    else
        rig.trigger(window == "main" ? nullptr : qPrintable(owner->objectName()),
                    window == "main"     ? "aupldall"
                    : window == "editor" ? "asend"
                                         : "smeter");
    QVERIFY(rig.waitIdle());
    QVERIFY(rig.waitIdle()); // a write without a backup follows the question

    const QDir backups(rig.backupFolder());
    const QStringList backup = backups.entryList({"meter-*.idr"});
    const QStringList readBack = backups.entryList({"readback-*.idr"});
    QCOMPARE(backup.size(), message.contains("%B") ? 1 : 0);
    QCOMPARE(readBack.size(), message.contains("%R") ? 1 : 0);
    if (!backup.isEmpty()) // what the meter held, ready to be sent back
        QCOMPARE(loadIndicatorFile(backups.filePath(backup[0])).image.bytes(),
                 sampleImage().bytes());
    message.replace("%B", QDir::toNativeSeparators(backups.filePath(backup.value(0))));
    message.replace("%R", QDir::toNativeSeparators(backups.filePath(readBack.value(0))));
    QTRY_COMPARE(rig.dialogs.messages(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(rig.dialogs.shown().size(), (answer >= 0) + !message.isEmpty());
    // The question's words are the real dialogs' test's; No is its default.
    if (answer >= 0) QCOMPARE(rig.dialogs.shown()[0].defaultAnswer, Answer::No);
    const bool written = !message.isEmpty();
    QCOMPARE(rig.meter->commandCount("AD") + rig.meter->commandCount("CD") +
                 rig.meter->commandCount("CL"),
             int(written));
    if (!written) QCOMPARE(rig.meter->image().bytes(), sampleImage().bytes());
    QCOMPARE(shownSteps.mid(std::max(0, int(shownSteps.size() - steps.size()))),
             steps); // after the curve check
    // The bar runs once from the backup read to the end of the verify read, then goes.
    QVERIFY(!progress || !progress->isVisible());
    QVERIFY(std::is_sorted(values.begin(), values.end()));
    if (written && !bar.isEmpty()) QCOMPARE(values.value(values.size() - 1), 100);
    QVERIFY(!covered);
}

void TestMainWindow::portList_data()
{
    QTest::addColumn<QList<SystemPort>>("ports");
    QTest::addColumn<QString>("access"); // what the window says below the list
    const SystemPort usb{"ttyUSB0",  "/dev/ttyUSB0", "USB-Serial Controller",
                         "Prolific", "A1B2",         true};
    const SystemPort locked{"ttyS1", "/dev/ttyS1", "", "", "", false};
    QTest::newRow("none listed") << QList<SystemPort>{} << "The system lists no serial ports.";
    QTest::newRow("one usable") << QList<SystemPort>{usb} << "";
    QTest::newRow("one not allowed")
        << QList<SystemPort>{usb, locked}
        << "You may not open the serial port /dev/ttyS1. Ask for membership";
}

// The system's ports (from a stand-in list), refreshed each time the window is shown; a port this
// user may not open is said so; choosing one and OK opens its path.
void TestMainWindow::portList()
{
    QFETCH(QList<SystemPort>, ports);
    QFETCH(QString, access);
    UiRig rig(threeBlockImage());
    QVERIFY(rig.waitIdle());
    PortWindow window(*rig.link, rig.dialogs);
    window.setPortSource([&] { return ports; });
    window.show();
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("systemPorts"));
    QCOMPARE(list->topLevelItemCount(), ports.size());
    auto* said = window.findChild<QLabel*>(QStringLiteral("portAccess"));
    QCOMPARE(said->isVisible(), !access.isEmpty());
    QCOMPARE(said->text().left(access.size()), access);

    ports.append(SystemPort{"ttyACM0", "/dev/ttyACM0", "", "", "", true});
    window.hide();
    window.show();
    QCOMPARE(list->topLevelItemCount(), ports.size());
    list->setCurrentItem(list->topLevelItem(ports.size() - 1));
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("portPath"))->text(),
             QStringLiteral("/dev/ttyACM0"));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.link->portSpec().devicePath, QStringLiteral("/dev/ttyACM0"));
}

// A device server's address typed in is opened as it is; one that is not usable is said so,
// naming it, and the window stays for another.
void TestMainWindow::typedNetworkAddress()
{
    UiRig rig(threeBlockImage());
    QVERIFY(rig.waitIdle());
    PortWindow window(*rig.link, rig.dialogs);
    window.setPortSource([] { return QList<SystemPort>{}; });
    window.show();
    auto* path = window.findChild<QLineEdit*>(QStringLiteral("portPath"));
    auto* ok = window.findChild<QPushButton*>(QStringLiteral("Command2"));
    path->setText(QStringLiteral("tcp://plc:0"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.dialogs.messages(),
             QStringList{"\"tcp://plc:0\" is not a network address: write tcp://HOST:PORT or "
                         "rfc2217://HOST:PORT, with a port number from 1 to 65535."});
    QVERIFY(window.isVisible());
    QCOMPARE(rig.link->portSpec().devicePath, QString());

    path->setText(QStringLiteral("rfc2217://plc:2217"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.link->portSpec().devicePath, QStringLiteral("rfc2217://plc:2217"));
    QVERIFY(!window.isVisible());
}

void TestMainWindow::escapeCloses_data()
{
    QTest::addColumn<QString>("action"); // of the main window, or of the viewer for the graph
    QTest::addColumn<QString>("window");
    for (const auto& [name, action, window] :
         {std::tuple{"Port Setting", "gcomm", "Portscrn"},
          std::tuple{"Line Traffic", "gtraffic", "LineTraffic"},
          std::tuple{"the graph", "agraph", "graphit"},
          std::tuple{"About", "aboutHelp", "frmAbout"}, std::tuple{"Help", "ahelp", "helpWindow"},
          std::tuple{"the keypad", "aprog", "Cali"}})
        QTest::newRow(name) << QString(action) << QString(window);
}

// Escape, pressed in the window as it has come up, closes it as it closes a dialog.
void TestMainWindow::escapeCloses()
{
    QFETCH(QString, action);
    QFETCH(QString, window);
    UiRig rig(threeBlockImage());
    QVERIFY(rig.waitIdle());
    bool found = false;
    bool stayed = false;
    const auto pressEscape = [&] {
        QPointer<QWidget> shown = rig.window->findChild<QWidget*>(window);
        if (!shown || !shown->isVisible()) return;
        // The offscreen platform leaves the window that was active before active; a person's
        // window manager gives a new window the focus.
        shown->activateWindow();
        if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == shown; })) return;
        found = true;
        QWidget* focus = shown->focusWidget();
        QTest::keyClick(focus ? focus : shown.data(), Qt::Key_Escape);
        stayed = shown && shown->isVisible();
        if (stayed) shown->close(); // a modal box left open would hold the test
    };
    if (action == QLatin1String("agraph")) {
        QVERIFY(QFile::copy(QStringLiteral(":/samples/three-tanks.idr"), m_dir->path("m.idr")));
        rig.window->startWithIndicatorFile(m_dir->path("m.idr"));
        rig.find<ViewerWindow>("edtnk")->findChild<QListWidget*>("List1")->setCurrentRow(0);
        rig.trigger("edtnk", "aview");
        rig.trigger("edtnk", "agraph");
        pressEscape();
    } else if (action == QLatin1String("aboutHelp")) {
        // The box is modal: Escape is pressed inside its own loop.
        QTimer::singleShot(0, this, pressEscape);
        rig.trigger(nullptr, "aboutHelp");
    } else {
        rig.trigger(nullptr, qPrintable(action));
        pressEscape();
    }
    QVERIFY2(found, qPrintable(window));
    QVERIFY(!stayed);
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestMainWindow::statusBar_data()
{
    QTest::addColumn<QString>("action");   // empty: start-up alone; aclear: Yes in the clear window
    QTest::addColumn<QString>("fault");    // on the meter, or "port" for a port that does not exist
    QTest::addColumn<QStringList>("line"); // what the line's status holds, in order
    QTest::addColumn<QStringList>("exchange"); // what the last exchange's status holds, in order
    QTest::addColumn<QStringList>("messages"); // the boxes, as the exchange has them

    const QString missing = QStringLiteral("The serial port /dev/ttyS0 does not exist.");
    const QString check =
        QStringLiteral("Check the cable, the port chosen under Comm, and that the meter is "
                       "switched on.");
    QTest::newRow("start-up with a missing port")
        << QString() << QStringLiteral("port")
        << QStringList{"could not be opened. " + missing, "Comm", "Mode: Meter Offset Capable."}
        << QStringList{"No exchange with the meter yet."} << QStringList{};
    QTest::newRow("a read")
        << QStringLiteral("dwnldall") << QString()
        << QStringList{"simulated meter, open.", "Mode: Meter Offset Capable."}
        << QStringList{"read the meter, done. 3 tanks; the image is in the working file and "
                       "\"File Management > Save Retrieved Indicator File\" keeps it."}
        << QStringList{"Indicator Data Read"};
    QTest::newRow("a read that stops at a block")
        << QStringLiteral("dwnldall") << QStringLiteral("AU:1:stop") << QStringList{"open."}
        << QStringList{"read the meter, no answer from the meter at stage 4. " + check}
        << QStringList{"Comm timeout  4"};
    QTest::newRow("the clear window's exchange")
        << QStringLiteral("aclear") << QString() << QStringList{"open."}
        << QStringList{"cleared the meter, done."} << QStringList{"Clear Command Sent"};
}

// The status bar under the main window, after start-up and after an exchange of the main window
// or of another window; the message boxes keep their own texts.
void TestMainWindow::statusBar()
{
    QFETCH(QString, action);
    QFETCH(QString, fault);
    QFETCH(QStringList, line);
    QFETCH(QStringList, exchange);
    QFETCH(QStringList, messages);

    UiRig rig(sampleImage(), {}, false);
    if (fault == QLatin1String("port"))
        rig.failures[1] = PortStatus{PortError::Unavailable,
                                     QStringLiteral("The serial port /dev/ttyS0 does not exist.")};
    else if (!fault.isEmpty())
        rig.meter->addFault(*MeterFault::parse(fault));
    rig.window->startUp();
    QVERIFY(rig.waitIdle());
    if (action == QLatin1String("aclear")) {
        rig.trigger(nullptr, "aclear");
        QTest::mouseClick(rig.find("clearit")->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    } else if (!action.isEmpty()) {
        rig.trigger(nullptr, qPrintable(action));
    }
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), messages, 5000);
    const auto holdsInOrder = [](const QString& text, const QStringList& parts) {
        qsizetype at = 0;
        for (const QString& part : parts) {
            at = text.indexOf(part, at);
            if (at < 0) return false;
        }
        return true;
    };
    const QString lineText = rig.find<QLabel>("lineStatus")->text();
    QVERIFY2(holdsInOrder(lineText, line), qPrintable(lineText));
    const QString exchangeText = rig.find<QLabel>("exchangeStatus")->text();
    QVERIFY2(holdsInOrder(exchangeText, exchange), qPrintable(exchangeText));
    if (!action.isEmpty()) // the time of day the exchange ended
        QVERIFY2(QRegularExpression(QStringLiteral("^Last exchange \\(\\d\\d:\\d\\d:\\d\\d\\): "))
                     .match(exchangeText)
                     .hasMatch(),
                 qPrintable(exchangeText));
}

// The gauge label keeps a picture of each number it drew: it must look as a plain label does,
// for each number and again after a new font.
void TestMainWindow::gaugeLabelPicture()
{
    GaugeLabel cached(QStringLiteral(" 1"));
    QLabel plain(QStringLiteral(" 1"));
    for (QLabel* label : {static_cast<QLabel*>(&cached), &plain}) {
        label->setAlignment(Qt::AlignCenter);
        label->setFixedSize(48, 24);
        label->show(); // a label never shown is resized again at every grab
    }
    const auto check = [&](const char* text) {
        cached.setText(QString::fromLatin1(text));
        plain.setText(QString::fromLatin1(text));
        QVERIFY2(cached.grab().toImage() == plain.grab().toImage(), text);
    };
    check(" 1");
    check(" 100");
    check(" 1");
    QFont font = plain.font();
    font.setPointSize(font.pointSize() * 2);
    cached.setFont(font);
    plain.setFont(font);
    check(" 1");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
