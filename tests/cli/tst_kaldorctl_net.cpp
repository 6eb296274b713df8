// kaldorctl through a real serial device server (ser2net on loopback) in front of the simulated
// meter, raw and with RFC 2217: every byte of a read, a write and a tank passes unchanged (the
// 0xFF byte, telnet's IAC, included); the program sets the server's line; nobody listening, a
// host that does not answer and a server lost in mid-read each fail with their own message,
// within their bounds, and leave the output file as it was.

#include "ctlrun.h"
#include "link/networkport.h"
#include "store/indicatorfile.h"
#include "tests/support/ser2netrig.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <termios.h>

using namespace kaldor;
using namespace kaldor::testing;

namespace {
IndicatorImage everyByteImage()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    return IndicatorImage::fromBytes(all);
}

IndicatorImage sampleImage()
{
    return loadIndicatorFile(sample(QStringLiteral("three-tanks.idr"))).image;
}

// The line settings of the meter's pseudo-terminal as ser2net left them.
termios deviceLine(const QString& device)
{
    termios t{};
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::tcgetattr(fd, &t);
        ::close(fd);
    }
    return t;
}

speed_t deviceSpeed(const QString& device)
{
    const termios line = deviceLine(device);
    return cfgetospeed(&line);
}

#define SKIP_WITHOUT_SER2NET()                                                                     \
    if (!Ser2NetRig::installed())                                                                  \
    QSKIP("ser2net is not installed: the tests through a device server did not run")
} // namespace

class TestKaldorctlNet : public QObject {
    Q_OBJECT
private slots:
    void exchanges_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<QString>("command");
        for (const bool rfc2217 : {false, true}) {
            const char* protocol = rfc2217 ? "rfc2217" : "raw";
            for (const char* command : {"read", "write", "send-tank"})
                QTest::addRow("%s %s", protocol, command) << rfc2217 << QString(command);
        }
    }

    // Both ways every byte value goes through, the 0xFF byte among them: the image read holds
    // all 256, the image written too, and the tank record sent holds 0x3F 0xFF three times.
    void exchanges()
    {
        SKIP_WITHOUT_SER2NET();
        QFETCH(bool, rfc2217);
        QFETCH(QString, command);
        QTemporaryDir dir;
        const IndicatorImage every = everyByteImage();
        const QString everyFile = dir.filePath(QStringLiteral("every.idr"));
        QVERIFY(writeIndicatorFile(everyFile, 32, every, 0).ok);
        const QString out = dir.filePath(QStringLiteral("out.idr"));

        Ser2NetRig rig(command == QLatin1String("read") ? every : sampleImage());
        QString error;
        QVERIFY2(rig.start(&error), qPrintable(error));
        QStringList args{"--port", rig.address(rfc2217)};
        QByteArray wire;
        QString said;
        if (command == QLatin1String("read")) {
            args << "read" << out;
            said = QStringLiteral("Indicator Data Read\n");
        } else if (command == QLatin1String("write")) {
            args << "write" << everyFile;
            wire = QByteArray("\x02"
                              "AD\r") +
                   char(every.blockCount() / 256) + char(every.blockCount() % 256) + every.bytes() +
                   every.bytes().right(1);
            said = QStringLiteral("Data Sent\n");
        } else {
            args << "send-tank" << sample(QStringLiteral("tanks/water.tnk")) << "--image"
                 << sample(QStringLiteral("three-tanks.idr")) << "--tank"
                 << "9";
            wire = QByteArray::fromHex("0243440d09001003e800320000000040013fff7fff7fff");
            said = QStringLiteral("Tank data sent.\n");
        }
        const Run run = runKaldorctl(args, dir.path());
        rig.stopMeter();
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out, said);
        QCOMPARE(run.status, 0);
        if (command == QLatin1String("read")) QCOMPARE(loadIndicatorFile(out).image, every);
        if (!wire.isEmpty()) QCOMPARE(rig.meter.received(), wire);
        if (command == QLatin1String("write")) QCOMPARE(rig.meter.image(), every);
    }

    // ser2net starts the device at 9600 baud: over RFC 2217 the program sets it to 19200,N,8,1
    // as it opens; over raw TCP the line is the server's.
    void rfc2217SetsTheLine()
    {
        SKIP_WITHOUT_SER2NET();
        Ser2NetRig rig(sampleImage());
        QString error;
        QVERIFY2(rig.start(&error), qPrintable(error));
        {
            // ser2net sets its device as it takes the connection, a moment after the connect.
            NetworkPort raw(rig.address(false));
            QVERIFY(raw.open().ok());
            QTRY_COMPARE_WITH_TIMEOUT(deviceSpeed(rig.device()), speed_t(B9600), 2000);
        }
        // ser2net hands the device to the next connection a moment after the last one closed;
        // until then it says so and closes the connection.
        NetworkPort port(rig.address(true));
        QTRY_VERIFY_WITH_TIMEOUT(port.isOpen() || port.open().ok(), 2000);
        const termios line = deviceLine(rig.device());
        QCOMPARE(cfgetospeed(&line), speed_t(B19200));
        QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    }

    void connectFailures_data()
    {
        QTest::addColumn<bool>("answering"); // a listener whose queue is full, else none
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<int>("toMs");
        QTest::addColumn<QString>("err");
        QTest::newRow("nobody listening")
            << false << 0 << 2000
            << "Nobody is listening at ADDR: check the address and the port, and that the device "
               "server is on.\n";
        QTest::newRow("no answer")
            << true << NetworkPort::kConnectTimeoutMs << NetworkPort::kConnectTimeoutMs + 2000
            << "The device server at ADDR did not answer within 3 s: check the address, the "
               "network and that the server is on.\n";
    }

    // Each said with the address, within its bound; the output file is left as it was.
    void connectFailures()
    {
        QFETCH(bool, answering);
        QFETCH(int, fromMs);
        QFETCH(int, toMs);
        QFETCH(QString, err);
        FullListener full;
        const int port = answering ? full.port : freeLoopbackPort();
        QVERIFY(port > 0);
        const QString address = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out.idr"));
        const QByteArray before = "kept";
        QVERIFY(writeFileAtomically(out, before).ok);
        QElapsedTimer clock;
        clock.start();
        const Run run = runKaldorctl({"--port", address, "read", out});
        const qint64 tookMs = clock.elapsed();
        QCOMPARE(run.err, err.replace(QStringLiteral("ADDR"), address));
        QCOMPARE(run.status, 1);
        QVERIFY2(tookMs >= fromMs && tookMs < toMs, qPrintable(QString::number(tookMs)));
        QCOMPARE(readFile(out), before);
    }

    void serverLostMidRead_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("raw") << false;
        QTest::newRow("rfc2217") << true;
    }

    // The meter falls silent after two blocks; while the read waits for the third, the server
    // goes. The read fails as a dead line does, and OUT is left as it was.
    void serverLostMidRead()
    {
        SKIP_WITHOUT_SER2NET();
        QFETCH(bool, rfc2217);
        Ser2NetRig rig(sampleImage());
        rig.meter.addFault(*MeterFault::parse(QStringLiteral("AU:2:stop")));
        std::atomic_bool waiting{false};
        // The frame, and the ACKs for the count and two blocks, and the one the meter ignores.
        const int silentAfter = 4 + 4;
        QString error;
        QVERIFY2(rig.start(&error,
                           [&] {
                               if (rig.meter.received().size() >= silentAfter) waiting.store(true);
                           }),
                 qPrintable(error));
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out.idr"));
        const QByteArray before = "kept";
        QVERIFY(writeFileAtomically(out, before).ok);
        QProcess ctl;
        ctl.start(QStringLiteral(KALDORCTL_PATH), {"--port", rig.address(rfc2217), "read", out});
        QVERIFY(ctl.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(waiting.load(), 5000);
        QVERIFY(rig.killServer());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(ctl.waitForFinished(5000));
        // Well within the reply wait of 2 s it would otherwise time out in.
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(ctl.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(ctl.readAllStandardError());
        const QString lost =
            QStringLiteral("The connection to %1 was lost (").arg(rig.address(rfc2217));
        QVERIFY2(err.startsWith(lost) &&
                     err.endsWith(QLatin1String("The exchange stopped at stage 4.\n")),
                 qPrintable(err));
        QCOMPARE(readFile(out), before);
    }
};

QTEST_GUILESS_MAIN(TestKaldorctlNet)
#include "tst_kaldorctl_net.moc"
