// The QSerialPort backend against kaldor-sim over a pseudo-terminal: a read, a write and a
// single-tank send byte for byte, and a line that closes in the middle of a read.

#include "link/exchanges.h"
#include "link/qtserialport.h"
#include "linktesthelpers.h"
#include "store/indicatorfile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace kaldor;
using namespace kaldor::testing;

class TestPtyLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readWriteSend();
    void lineClosedMidRead_data();
    void lineClosedMidRead();

private:
    // Starts kaldor-sim; returns the pseudo-terminal to open, empty (and skips) when none.
    QString startMeter(QProcess& sim, const QStringList& args);
    QTemporaryDir m_dir;
    QString m_imageFile;
};

void TestPtyLink::initTestCase()
{
    m_imageFile = m_dir.filePath(QStringLiteral("two.idr"));
    QVERIFY(writeIndicatorFile(m_imageFile, 2, twoBlockImage(), 9).ok);
}

QString TestPtyLink::startMeter(QProcess& sim, const QStringList& args)
{
    sim.start(QStringLiteral(KALDOR_BINARY_DIR "/sim/kaldor-sim"), args);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

namespace {
void stopMeter(QProcess& sim)
{
    sim.terminate();
    if (!sim.waitForFinished(5000))
        sim.kill();
}
} // namespace

void TestPtyLink::readWriteSend()
{
    QProcess sim;
    const QString saved = m_dir.filePath(QStringLiteral("saved.idr"));
    const QString device = startMeter(sim, {QStringLiteral("--image"), m_imageFile, QStringLiteral("--save"), saved});
    if (device.isEmpty())
        QSKIP("no pseudo-terminal for kaldor-sim");
    QtSerialPort port(PortSpec{1, device});
    QVERIFY2(port.open().ok(), qPrintable(port.lastError().text));
    ExchangeContext ctx{port, {}, {}, nullptr};

    const QString working = m_dir.filePath(QStringLiteral("All1.DAT"));
    const Download d = downloadIndicatorFile(ctx, working);
    QVERIFY2(d.result.done(), qPrintable(downloadMessages(d.result, DownloadVariant::MainWindow).value(0).text));
    QCOMPARE(d.image, twoBlockImage());

    // Every byte value travels unchanged: 0x00, 0x0D, 0x11/0x13 (flow control), 0xFF.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const IndicatorImage everyByte = IndicatorImage::fromBytes(all);
    QVERIFY(uploadImage(ctx, uploadSourceFromImage(everyByte, 256), UploadVariant::MainWindow).done());
    const Download back = downloadImage(ctx);
    QVERIFY(back.result.done());
    QCOMPARE(back.image, everyByte);

    // Clear, then the three-point tank: the meter files it as its only record.
    QVERIFY(sendClearCommand(ctx).done());
    const TankSendPreparation prep = prepareTankSend(threePointTable(), 3, QStringLiteral("7"), {}, true);
    QVERIFY(prep.send);
    const ExchangeResult sent = sendTankCurve(ctx, *prep.send, working);
    QVERIFY2(sent.done(), qPrintable(sendTankMessages(sent).value(0).text));
    QVERIFY(!QFile::exists(working));
    port.close();
    stopMeter(sim);

    const IndicatorFileLoad load = loadIndicatorFile(saved);
    QVERIFY(load.ok());
    const IndicatorImage meter = load.image;
    QCOMPARE(meter.at(layout::kTankCountAddress), 1);
    QCOMPARE(meter.at(layout::kDirectoryStart), 7);
    const QByteArray record = meter.bytes().mid(layout::kRecordAreaStart, 16);
    QCOMPARE(record, hex("03e8" "8064" "00000000" "40013fff" "7fff7fff"));
}

void TestPtyLink::lineClosedMidRead_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("stage");
    QTest::newRow("during the count") << "AU:2:close" << 2;
    QTest::newRow("during a block") << "AU:4:close" << 4;
}

void TestPtyLink::lineClosedMidRead()
{
    QFETCH(QString, fault);
    QFETCH(int, stage);
    QProcess sim;
    const QString device = startMeter(sim, {QStringLiteral("--image"), m_imageFile, QStringLiteral("--fault"), fault});
    if (device.isEmpty())
        QSKIP("no pseudo-terminal for kaldor-sim");
    QtSerialPort port(PortSpec{1, device});
    QVERIFY(port.open().ok());
    ExchangeContext ctx{port, shortBounds(), {}, nullptr};
    const QString working = m_dir.filePath(QStringLiteral("All1.DAT"));
    QVERIFY(writeFileAtomically(working, "0, 0\r\n").ok);
    const Download d = downloadIndicatorFile(ctx, working);
    stopMeter(sim);
    // A dead line ends the read at its stage, or runs into that stage's time-out when the
    // hang-up is not seen; either way no working file is left and the program goes on.
    QVERIFY2(d.result.outcome == Outcome::LineFailed || d.result.outcome == Outcome::TimedOut,
             qPrintable(d.result.detail));
    QCOMPARE(d.result.stage, stage);
    QVERIFY(!QFile::exists(working));
    if (d.result.outcome == Outcome::LineFailed) {
        QVERIFY(!port.isOpen());
        QVERIFY(downloadMessages(d.result, DownloadVariant::MainWindow).value(0).text.contains(QLatin1String("stage")));
    }
}

QTEST_GUILESS_MAIN(TestPtyLink)
#include "tst_ptylink.moc"
