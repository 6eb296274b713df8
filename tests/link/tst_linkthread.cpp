// The link thread: one exchange at a time, a second request refused at once, results and port
// state back as signals, and a Link destroyed mid-exchange.

#include "link/link.h"
#include "linktesthelpers.h"

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
        return std::make_unique<SimulatedPort>(meter, MeterTiming{true, std::chrono::milliseconds(30)});
    };
}

ExchangeResult waitFinished(QSignalSpy& spy)
{
    if (spy.isEmpty())
        spy.wait(10000);
    return spy.isEmpty() ? ExchangeResult{Outcome::Failed, -1, {}, 0, QStringLiteral("no result")}
                         : spy.takeFirst().at(1).value<ExchangeResult>();
}
} // namespace

class TestLinkThread : public QObject {
    Q_OBJECT
private slots:
    void refusesWhileBusy_data();
    void refusesWhileBusy();
    void exchangeWithoutPortFails();
    void lostLineClosesPort();
    void destroyedMidExchange();
};

void TestLinkThread::refusesWhileBusy_data()
{
    QTest::addColumn<QString>("second");
    for (const char* second : {"read", "clear", "key", "open", "close"})
        QTest::newRow(second) << QString(second);
}

void TestLinkThread::refusesWhileBusy()
{
    QFETCH(QString, second);
    QTemporaryDir dir;
    auto meter = std::make_shared<SimulatedMeter>(twoBlockImage());
    Link link(pacedMeter(meter), shortBounds());
    QSignalSpy finished(&link, &Link::finished);
    QVERIFY(link.openPort(PortSpec{}));
    QVERIFY(waitFinished(finished).done());
    QVERIFY(link.isPortOpen());

    QVERIFY(link.download(dir.filePath(QStringLiteral("All1.DAT"))));
    QVERIFY(link.isBusy());
    bool accepted = true;
    if (second == QLatin1String("read"))
        accepted = link.download(dir.filePath(QStringLiteral("other.dat")));
    else if (second == QLatin1String("clear"))
        accepted = link.clear();
    else if (second == QLatin1String("key"))
        accepted = link.pressKey(KeypadKey::Up);
    else if (second == QLatin1String("open"))
        accepted = link.openPort(PortSpec{2, {}});
    else
        accepted = link.closePort();
    QVERIFY(!accepted);
    const ExchangeResult r = waitFinished(finished);
    QVERIFY2(r.done(), qPrintable(r.detail));
    // Only the first exchange reached the meter.
    QCOMPARE(meter->commandCount("AU"), 1);
    QCOMPARE(meter->commandCount("CL") + meter->commandCount("UP"), 0);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("All1.DAT"))));
    QVERIFY(!link.isBusy());
    QVERIFY(link.clear());
    QVERIFY(waitFinished(finished).done());
}

void TestLinkThread::exchangeWithoutPortFails()
{
    Link link([](const PortSpec&) { return std::unique_ptr<SerialPort>(); }, shortBounds());
    QSignalSpy finished(&link, &Link::finished);
    QVERIFY(link.clear());
    const ExchangeResult r = waitFinished(finished);
    QCOMPARE(r.outcome, Outcome::LineFailed);
    QCOMPARE(clearMessages(r).value(0).kind, MessageKind::Refusal);
}

void TestLinkThread::lostLineClosesPort()
{
    auto meter = std::make_shared<SimulatedMeter>(twoBlockImage());
    meter->addFault(*MeterFault::parse(QStringLiteral("AU:3:close")));
    Link link([meter](const PortSpec&) { return std::make_unique<SimulatedPort>(meter); }, shortBounds());
    QSignalSpy finished(&link, &Link::finished);
    QSignalSpy closed(&link, &Link::portClosed);
    QVERIFY(link.openPort(PortSpec{}));
    QVERIFY(waitFinished(finished).done());
    QTemporaryDir dir;
    QVERIFY(link.download(dir.filePath(QStringLiteral("All1.DAT"))));
    const ExchangeResult r = waitFinished(finished);
    QCOMPARE(r.outcome, Outcome::LineFailed);
    QCOMPARE(r.stage, 4);
    QCOMPARE(closed.size(), 1);
    QVERIFY(!link.isPortOpen());
    // The port can be chosen again.
    QVERIFY(link.openPort(PortSpec{}));
    waitFinished(finished);
    QVERIFY(!link.isBusy());
}

void TestLinkThread::destroyedMidExchange()
{
    QTemporaryDir dir;
    auto meter = std::make_shared<SimulatedMeter>(twoBlockImage());
    meter->addFault(*MeterFault::parse(QStringLiteral("AU:1:silent")));
    {
        Link link(pacedMeter(meter)); // production bounds: the read would wait 4 s
        QSignalSpy finished(&link, &Link::finished);
        QVERIFY(link.openPort(PortSpec{}));
        waitFinished(finished);
        QVERIFY(link.download(dir.filePath(QStringLiteral("All1.DAT"))));
        QTest::qWait(50);
    }
    // The abandoned read left no working file behind.
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("All1.DAT"))));
}

QTEST_GUILESS_MAIN(TestLinkThread)
#include "tst_linkthread.moc"
