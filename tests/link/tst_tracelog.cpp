// The line's traffic log: what the link records for one exchange over the simulated meter,
// the bound on the entries it keeps, and the text it is saved as.

#include "link/link.h"
#include "link/tracelog.h"
#include "linktesthelpers.h"

#include <QtTest>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

using Exchange = std::function<ExchangeResult(ExchangeContext&)>;

Exchange exchangeNamed(const QString& name)
{
    if (name == QLatin1String("read"))
        return [](ExchangeContext& ctx) { return downloadImage(ctx).result; };
    if (name == QLatin1String("write"))
        return [](ExchangeContext& ctx) {
            return uploadImage(ctx, uploadSourceFromImage(threeBlockImage(), 24),
                               UploadVariant::MainWindow);
        };
    if (name == QLatin1String("send"))
        return [](ExchangeContext& ctx) {
            const TankSendPreparation prep =
                prepareTankSend(threePointTable(), 3, QStringLiteral("7"), {}, true);
            return sendTankCurve(ctx, *prep.send, QString());
        };
    return [](ExchangeContext& ctx) { return sendKeypadCommand(ctx, KeypadKey::Set, false); };
}

QByteArray joined(const QList<TraceEntry>& entries, TraceKind kind)
{
    QByteArray all;
    for (const TraceEntry& e : entries)
        all += e.kind == kind ? e.data() : QByteArray();
    return all;
}

TraceEntry entry(qint64 micros, TraceKind kind, const char* bytes, const char* text = "")
{
    return {micros, kind, QByteArray::fromHex(bytes), QString::fromLatin1(text), 0};
}

} // namespace

class TestTraceLog : public QObject {
    Q_OBJECT
private slots:
    void exchange_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QString>("fault"); // for the simulated meter, or empty
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("read") << "read"
                              << ""
                              << "AU"
                              << "done";
        QTest::newRow("write") << "write"
                               << ""
                               << "AD"
                               << "done";
        QTest::newRow("key") << "key"
                             << ""
                             << "SW"
                             << "done";
        QTest::newRow("read refused") << "read"
                                      << "AU:1:nack"
                                      << "AU"
                                      << "refused at stage 1: the meter answered 0x15";
        QTest::newRow("send, meter silent") << "send"
                                            << "CD:2:silent"
                                            << "CD"
                                            << "timed out at stage 2";
    }

    // Every byte both ways in order, with times that never go back, the frame named just
    // before its four bytes, and the outcome last.
    void exchange()
    {
        QFETCH(QString, exchange);
        QFETCH(QString, fault);
        auto meter = std::make_shared<SimulatedMeter>(threeBlockImage());
        if (!fault.isEmpty()) meter->addFault(*MeterFault::parse(fault));
        SimulatedPort* port = nullptr;
        Link link(
            [&](const PortSpec&) {
                auto p = std::make_unique<SimulatedPort>(meter);
                port = p.get();
                return p;
            },
            shortBounds());
        QVERIFY(link.openPort(nullptr, PortSpec{}, {}));
        QTRY_VERIFY(!link.isBusy());
        QVERIFY(link.run(nullptr, exchangeNamed(exchange), {}));
        QTRY_VERIFY_WITH_TIMEOUT(!link.isBusy(), 5000);

        const QList<TraceEntry> log = link.traceLog()->entries();
        QVERIFY(log.size() > 4);
        QCOMPARE(log.constFirst().kind, TraceKind::Note);
        QCOMPARE(log.constFirst().text, QStringLiteral("opened simulated meter"));
        for (int i = 1; i < log.size(); ++i)
            QVERIFY2(log[i].micros >= log[i - 1].micros, qPrintable(QString::number(i)));
        QCOMPARE(joined(log, TraceKind::Out), port->sentBytes());
        QCOMPARE(joined(log, TraceKind::In), port->receivedBytes());

        QStringList frames;
        for (int i = 0; i < log.size(); ++i) {
            if (log[i].kind != TraceKind::Frame) continue;
            frames.append(log[i].text);
            QVERIFY(i + 4 < log.size());
            QByteArray next;
            for (int k = 1; k <= 4; ++k) {
                QCOMPARE(log[i + k].kind, TraceKind::Out);
                next += log[i + k].data();
            }
            QCOMPARE(next, QByteArray("\x02") + log[i].text.toLatin1() + '\r');
        }
        QTEST(frames.join(u' '), "frame");
        QCOMPARE(log.constLast().kind, TraceKind::Outcome);
        QTEST(log.constLast().text, "outcome");
    }

    // A full log drops its oldest entries first and counts them.
    void bound_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("asked"); // entries(asked)
        QTest::addColumn<QByteArray>("kept");
        QTest::newRow("not full") << 4 << 3 << -1 << QByteArray::fromHex("010203");
        QTest::newRow("just full") << 3 << 3 << -1 << QByteArray::fromHex("010203");
        QTest::newRow("wrapped") << 3 << 5 << -1 << QByteArray::fromHex("030405");
        QTest::newRow("wrapped twice, newest two") << 3 << 8 << 2 << QByteArray::fromHex("0708");
    }

    void bound()
    {
        QFETCH(int, capacity);
        QFETCH(int, written);
        QFETCH(int, asked);
        TraceLog log(capacity);
        for (int b = 1; b <= written; ++b)
            log.recordOut(std::uint8_t(b));
        QTEST(joined(log.entries(asked), TraceKind::Out), "kept");
        QCOMPARE(log.recorded(), qint64(written));
        QCOMPARE(log.dropped(), qint64(std::max(0, written - capacity)));
    }

    // The listener hears of new entries once a look, not once a byte, and not after it is gone.
    void news()
    {
        TraceLog log;
        int told = 0;
        log.setNewsListener([&] { ++told; });
        log.recordOut(1);
        log.recordOut(2);
        QCOMPARE(told, 1);
        QCOMPARE(log.recorded(), qint64(2));
        QCOMPARE(told, 1); // looking is not news
        log.recordIn("\x06");
        QCOMPARE(told, 2);
        log.setNewsListener({});
        log.recordOut(3);
        QCOMPARE(told, 2);
    }

    // Each line: the time of day, the time since the log started, and the bytes in hex and as
    // ASCII, a byte outside the printable ASCII a dot.
    void text()
    {
        const QList<TraceEntry> entries = {
            entry(0, TraceKind::Note, "", "opened /dev/ttyUSB0"),
            entry(15, TraceKind::Frame, "", "CL"),
            entry(16, TraceKind::Out, "02"),
            entry(2048, TraceKind::In, "0641007e7fff0d"),
            entry(2100, TraceKind::In, "0102030405060708093a"),
            entry(56544321, TraceKind::Outcome, "", "timed out at stage 2"),
        };
        const QDateTime started(QDate(2026, 12, 8), QTime(7, 59, 3, 456));
        QCOMPARE(
            formatTraceLog(entries, started, 7),
            QByteArray(
                "(7 older entries left out)\n"
                "07:59:03.456             0 us  -- opened /dev/ttyUSB0\n"
                "07:59:03.456            15 us  frame CL\n"
                "07:59:03.456            16 us  -> 02                       |.|\n"
                "07:59:03.458          2048 us  <- 06 41 00 7E 7F FF 0D     |.A.~...|\n"
                "07:59:03.458          2100 us  <- 01 02 03 04 05 06 07 08 09 3A  |.........:|\n"
                "08:00:00.000      56544321 us  end: timed out at stage 2\n"));
        QVERIFY(!formatTraceLog(entries, started).startsWith('('));
    }
};

QTEST_GUILESS_MAIN(TestTraceLog)
#include "tst_tracelog.moc"
