// The link thread: one exchange at a time, a second request refused at once, each result and
// its payload handed to the object that asked on its own thread, a completion dropped when
// that object is gone, and a link stopped or destroyed mid-exchange.

#include "link/link.h"
#include "linktesthelpers.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace kaldor;
using namespace kaldor::testing;

namespace {
// A paced line with a long latency keeps the read running while the test knocks.
Link::PortFactory pacedMeter(std::shared_ptr<SimulatedMeter> meter)
{
    return [meter](const PortSpec&) {
        return std::make_unique<SimulatedPort>(meter,
                                               MeterTiming{true, std::chrono::milliseconds(30)});
    };
}

// What a completion received, and on which thread.
struct Received {
    int calls = 0;
    ExchangeResult result;
    IndicatorImage image;
    PortStatus status;
    QThread* thread = nullptr;

    Link::Done done()
    {
        return [this](const ExchangeResult& r) {
            ++calls;
            result = r;
            thread = QThread::currentThread();
        };
    }
    Link::ImageDone imageDone()
    {
        return [this](const ExchangeResult& r, const IndicatorImage& i) {
            ++calls;
            result = r;
            image = i;
            thread = QThread::currentThread();
        };
    }
    Link::Opened opened()
    {
        return [this](const PortStatus& s) {
            ++calls;
            status = s;
            thread = QThread::currentThread();
        };
    }
    bool wait(int calls = 1)
    {
        return QTest::qWaitFor([&] { return this->calls >= calls; }, 10000);
    }
};

// Opens the link's port for context and waits until it is open.
bool openPort(Link& link, QObject* context)
{
    Received opened;
    return link.openPort(context, PortSpec{}, opened.opened()) && opened.wait() &&
           opened.status.ok() && link.isPortOpen();
}

// A simulated port that notes the thread it is destroyed on.
class NotingPort : public SimulatedPort {
public:
    NotingPort(std::shared_ptr<SimulatedMeter> meter, QThread** destroyedOn)
        : SimulatedPort(std::move(meter), MeterTiming{true, std::chrono::milliseconds(30)}),
          m_destroyedOn(destroyedOn)
    {
    }
    ~NotingPort() override { *m_destroyedOn = QThread::currentThread(); }

private:
    QThread** m_destroyedOn;
};

// The longest a stopped link may take to let go of the line: a wait looks every 20 ms.
constexpr int kStopBoundMs = 200;
} // namespace

class TestLinkThread : public QObject {
    Q_OBJECT
private slots:
    void refusesWhileBusy_data()
    {
        QTest::addColumn<QString>("second");
        for (const char* second : {"read", "clear", "key", "open", "close"})
            QTest::newRow(second) << QString(second);
    }

    void refusesWhileBusy()
    {
        QFETCH(QString, second);
        QTemporaryDir dir;
        QObject window;
        auto meter = std::make_shared<SimulatedMeter>(twoBlockImage());
        Link link(pacedMeter(meter), shortBounds());
        QVERIFY(openPort(link, &window));

        Received read;
        QList<int> progress;
        QVERIFY(link.download(&window, dir.filePath(QStringLiteral("All1.DAT")), read.imageDone(),
                              [&](int percent) { progress.append(percent); }));
        QVERIFY(link.isBusy());
        Received refused;
        bool accepted = true;
        if (second == QLatin1String("read"))
            accepted = link.download(&window, dir.filePath(QStringLiteral("other.dat")),
                                     refused.imageDone());
        else if (second == QLatin1String("clear"))
            accepted = link.clear(&window, refused.done());
        else if (second == QLatin1String("key"))
            accepted = link.pressKey(&window, KeypadKey::Up, false, refused.done());
        else if (second == QLatin1String("open"))
            accepted = link.openPort(&window, PortSpec{2, {}}, refused.opened());
        else
            accepted = link.closePort(&window, [&] { ++refused.calls; });
        QVERIFY(!accepted);
        QVERIFY(read.wait());
        QVERIFY2(read.result.done(), qPrintable(read.result.detail));
        // The read hands over the image it read, on the thread of the object that asked.
        QCOMPARE(read.image, twoBlockImage());
        QCOMPARE(read.thread, QThread::currentThread());
        QCOMPARE(progress, (QList<int>{0, 50, 100}));
        // Only the first exchange reached the meter, and the refused request is never answered.
        QCOMPARE(meter->commandCount("AU"), 1);
        QCOMPARE(meter->commandCount("CL") + meter->commandCount("UP"), 0);
        QCOMPARE(refused.calls, 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("All1.DAT"))));
        QVERIFY(!link.isBusy());
        Received cleared;
        QVERIFY(link.clear(&window, cleared.done()));
        QVERIFY(cleared.wait());
        QVERIFY(cleared.result.done());
    }

    void lostLineClosesPort()
    {
        QObject window;
        auto meter = std::make_shared<SimulatedMeter>(twoBlockImage());
        meter->addFault(*MeterFault::parse(QStringLiteral("AU:3:close")));
        Link link([&meter](const PortSpec&) { return std::make_unique<SimulatedPort>(meter); },
                  shortBounds());
        QSignalSpy closed(&link, &Link::portClosed);
        QVERIFY(openPort(link, &window));
        QTemporaryDir dir;
        Received read;
        QVERIFY(link.download(&window, dir.filePath(QStringLiteral("All1.DAT")), read.imageDone()));
        QVERIFY(read.wait());
        QCOMPARE(read.result.outcome, Outcome::LineFailed);
        QCOMPARE(read.result.stage, 4);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!link.isPortOpen());
        // The port can be chosen again (on a sound line), and a write hands over the image the
        // meter now holds.
        meter = std::make_shared<SimulatedMeter>(twoBlockImage());
        QVERIFY(openPort(link, &window));
        const IndicatorImage empty = SimulatedMeter::emptyImage();
        Received written;
        QVERIFY(link.upload(&window, uploadSourceFromImage(empty, empty.length()),
                            UploadVariant::MainWindow, written.imageDone()));
        QVERIFY(written.wait());
        QVERIFY2(written.result.done(), qPrintable(written.result.detail));
        QCOMPARE(written.image, empty);
        QCOMPARE(meter->image(), empty);
    }

    // A window closed while its exchange runs is never called back; the link serves on.
    void goneContextGetsNothing()
    {
        QTemporaryDir dir;
        auto meter = std::make_shared<SimulatedMeter>(twoBlockImage());
        Link link(pacedMeter(meter), shortBounds());
        QObject owner;
        QVERIFY(openPort(link, &owner));

        auto* window = new QObject;
        Received read;
        QVERIFY(link.download(window, dir.filePath(QStringLiteral("All1.DAT")), read.imageDone(),
                              [&](int) { ++read.calls; }));
        delete window;
        QVERIFY(QTest::qWaitFor([&] { return !link.isBusy(); }, 10000));
        QCOMPARE(read.calls, 0);
        QCOMPARE(meter->commandCount("AU"), 1);
        Received cleared;
        QVERIFY(link.clear(&owner, cleared.done()));
        QVERIFY(cleared.wait());
        QVERIFY(cleared.result.done());
    }

    void stoppedMidExchange_data()
    {
        QTest::addColumn<bool>("destroy"); // the link is destroyed rather than stopped
        QTest::newRow("stop()") << false;
        QTest::newRow("destroyed") << true;
    }

    // The meter says nothing to the read, which would wait 4 s: stopped, the link lets go of the
    // line at the read's next wait, the port is destroyed on the link thread, no completion runs
    // and the abandoned read leaves no working file.
    void stoppedMidExchange()
    {
        QFETCH(bool, destroy);
        QTemporaryDir dir;
        QObject window;
        auto meter = std::make_shared<SimulatedMeter>(twoBlockImage());
        meter->addFault(*MeterFault::parse(QStringLiteral("AU:1:silent")));
        QThread* portDestroyedOn = nullptr;
        auto link = std::make_unique<Link>([&](const PortSpec&) {
            return std::make_unique<NotingPort>(meter, &portDestroyedOn);
        }); // production bounds
        QVERIFY(openPort(*link, &window));
        Received read;
        QVERIFY(
            link->download(&window, dir.filePath(QStringLiteral("All1.DAT")), read.imageDone()));
        QVERIFY(QTest::qWaitFor([&] { return meter->commandCount("AU") == 1; }, 5000));
        QTest::qWait(50);

        QElapsedTimer clock;
        clock.start();
        if (destroy)
            link.reset();
        else
            link->stop();
        const qint64 took = clock.elapsed();
        QVERIFY2(took < kStopBoundMs,
                 qPrintable(QStringLiteral("the link took %1 ms to stop").arg(took)));

        QVERIFY(portDestroyedOn != nullptr);
        QVERIFY(portDestroyedOn != QThread::currentThread());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("All1.DAT"))));
        QCOMPARE(read.calls, 0);
        if (!destroy) {
            QVERIFY(link->isStopped());
            QVERIFY(!link->clear(&window, read.done()));
        }
    }
};

QTEST_GUILESS_MAIN(TestLinkThread)
#include "tst_linkthread.moc"
