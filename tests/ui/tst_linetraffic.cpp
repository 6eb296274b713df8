// The line's traffic where the user sees it: the "Line Traffic" window shows the bytes of an
// exchange and saves the log; the main window opens it and shows a write's progress in its
// bar; the port window lists the system's ports (from a stand-in list) and opens a listed one.

#include "link/linetrafficwindow.h"
#include "link/link.h"
#include "link/portwindow.h"
#include "shell/mainwindow.h"
#include "sim/simulatedport.h"
#include "store/indicatorfile.h"
#include "store/workingfile.h"
#include "tests/link/linktesthelpers.h"
#include "tests/support/scripteddialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace kaldor;

namespace {

// A link to the simulated meter, its port open.
struct OpenLink {
    OpenLink()
        : meter(std::make_shared<SimulatedMeter>(testing::threeBlockImage())),
          link([this](const PortSpec& wanted) {
              opened.append(wanted);
              return std::make_unique<SimulatedPort>(meter);
          },
               testing::shortBounds())
    {
        link.setWriteSafety(WriteSafety{QString(), false, false}); // the write alone on the wire
        ready = link.openPort(nullptr, PortSpec{}, {}) && QTest::qWaitFor([this] { return !link.isBusy(); });
    }
    bool runIdle(std::function<ExchangeResult(ExchangeContext&)> exchange)
    {
        return link.run(nullptr, std::move(exchange), {}) && QTest::qWaitFor([this] { return !link.isBusy(); }, 5000);
    }
    std::shared_ptr<SimulatedMeter> meter;
    QList<PortSpec> opened; // written on the link thread, read when it is idle
    Link link;
    ScriptedDialogs dialogs;
    bool ready = false; // the port is open
};

} // namespace

class TestLineTraffic : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_oldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }
    void cleanup()
    {
        QDir::setCurrent(m_oldDir);
        m_dir.reset();
    }

    // Every byte of a clear (which the meter does not answer) shows in hex, the frame by name
    // and the outcome, on the timer's next look; the saved log is the whole log.
    void windowShowsAnExchange_data()
    {
        QTest::addColumn<QString>("saveTo"); // in the test's folder; empty: the dialog is cancelled
        QTest::addColumn<QString>("message");
        QTest::newRow("saved") << "traffic.txt" << "";
        QTest::newRow("cancelled") << "" << "";
        QTest::newRow("no such folder") << "none/traffic.txt" << "none/traffic.txt: ";
    }

    void windowShowsAnExchange()
    {
        QFETCH(QString, saveTo);
        QFETCH(QString, message);
        OpenLink rig;
        QVERIFY(rig.ready);
        LineTrafficWindow window(rig.link.traceLog(), rig.dialogs);
        window.show();
        auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("traffic"));
        QVERIFY(text->toPlainText().contains(QStringLiteral("-- opened simulated meter")));
        QVERIFY(!text->toPlainText().contains(QStringLiteral("frame CL")));

        QVERIFY(rig.runIdle([](ExchangeContext& ctx) { return sendClearCommand(ctx); }));
        const QStringList expected = {"frame CL", "-> 02", "-> 43", "-> 4C", "-> 0D", "end: done"};
        QTRY_VERIFY_WITH_TIMEOUT(text->toPlainText().contains(QStringLiteral("end: done")), 2000);
        QStringList shown;
        for (const QString& line : text->toPlainText().split(u'\n'))
            shown.append(line.section(QStringLiteral(" us  "), 1));
        QCOMPARE(shown.mid(1, expected.size()), expected);

        const QString path = m_dir->filePath(saveTo);
        rig.dialogs.queueFileName(saveTo.isEmpty() ? std::nullopt : std::optional<QString>(path));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("saveLog")), Qt::LeftButton);
        QCOMPARE(rig.dialogs.shown().constFirst().kind, ScriptedDialogs::Shown::Save);
        QVERIFY(rig.dialogs.shown().constFirst().confirmOverwrite);
        if (!message.isEmpty()) {
            QCOMPARE(rig.dialogs.messages().size(), 1);
            QVERIFY(rig.dialogs.messages().constFirst().startsWith(m_dir->filePath(message)));
        } else {
            QCOMPARE(rig.dialogs.messages(), QStringList());
        }
        QFile saved(path);
        QCOMPARE(saved.open(QIODevice::ReadOnly), !saveTo.isEmpty() && message.isEmpty());
        if (saved.isOpen())
            QCOMPARE(saved.readAll(), formatTraceLog(rig.link.traceLog()->entries()));
    }

    // "Line Traffic" opens the window over the main window; "&Send to Indicator" shows each
    // block sent in pbMain and hides the bar when the write is done.
    void mainWindow()
    {
        QVERIFY(writeIndicatorFile(workingFilePath(), 3, testing::threeBlockImage(), 0).ok);
        OpenLink rig;
        QVERIFY(rig.ready);
        MainWindow window(rig.link, rig.dialogs);
        window.show();
        window.findChild<QAction*>(QStringLiteral("gtraffic"))->trigger();
        auto* traffic = window.findChild<QWidget*>(QStringLiteral("LineTraffic"));
        QVERIFY(traffic && traffic->isVisible());

        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("pbMain"));
        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values.append(v); });
        window.findChild<QAction*>(QStringLiteral("aupldall"))->trigger();
        QVERIFY(bar->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages(), QStringList{"Data Sent"}, 5000);
        QVERIFY(!bar->isVisible());
        QCOMPARE(values, (QList<int>{0, 33, 67, 100}));
        QTRY_VERIFY(traffic->findChild<QPlainTextEdit*>()->toPlainText().contains(QStringLiteral("frame AD")));
    }

    // The listed ports with their details; a port this user may not open is said so; choosing
    // one and OK opens its path.
    void portList_data()
    {
        QTest::addColumn<QList<SystemPort>>("ports");
        QTest::addColumn<QString>("access"); // what the window says below the list
        const SystemPort usb{"ttyUSB0", "/dev/ttyUSB0", "USB-Serial Controller", "Prolific", "A1B2", true};
        const SystemPort locked{"ttyS1", "/dev/ttyS1", "", "", "", false};
        QTest::newRow("none listed") << QList<SystemPort>{} << "The system lists no serial ports.";
        QTest::newRow("one usable") << QList<SystemPort>{usb} << "";
        QTest::newRow("one not allowed") << QList<SystemPort>{usb, locked}
                                         << "You may not open the serial port /dev/ttyS1. Ask for membership";
    }

    void portList()
    {
        QFETCH(QList<SystemPort>, ports);
        QFETCH(QString, access);
        OpenLink rig;
        QVERIFY(rig.ready);
        PortWindow window(rig.link, rig.dialogs);
        window.setPortSource([&] { return ports; });
        window.show();
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("systemPorts"));
        QCOMPARE(list->topLevelItemCount(), ports.size());
        for (int i = 0; i < ports.size(); ++i) {
            const SystemPort& p = ports[i];
            QTreeWidgetItem* item = list->topLevelItem(i);
            QCOMPARE((QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}),
                     (QStringList{p.name, p.description, p.manufacturer, p.serialNumber}));
        }
        auto* said = window.findChild<QLabel*>(QStringLiteral("portAccess"));
        QCOMPARE(said->isVisible(), !access.isEmpty());
        QCOMPARE(said->text().left(access.size()), access);

        // Refreshed each time the window is shown.
        ports.append(SystemPort{"ttyACM0", "/dev/ttyACM0", "", "", "", true});
        window.hide();
        window.show();
        QCOMPARE(list->topLevelItemCount(), ports.size());

        auto* path = window.findChild<QLineEdit*>(QStringLiteral("portPath"));
        list->setCurrentItem(list->topLevelItem(ports.size() - 1));
        QCOMPARE(path->text(), QStringLiteral("/dev/ttyACM0"));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        QTRY_VERIFY(!rig.link.isBusy());
        QCOMPARE(rig.opened.constLast().devicePath, QStringLiteral("/dev/ttyACM0"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

QTEST_MAIN(TestLineTraffic)
#include "tst_linetraffic.moc"
