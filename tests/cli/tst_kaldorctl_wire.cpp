// kaldorctl on the wire: every command against kaldor-sim over a pseudo-terminal, through the
// real QSerialPort backend, as separate processes: what each prints, its exit status, the files
// it leaves and what the meter holds afterwards; every byte value passes both ways; meter
// faults and a line that dies give their messages and leave no stray file.

#include "store/indicatorfile.h"
#include "store/indicatorimage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kaldor;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

QString sample(const QString& name) { return QStringLiteral(KALDOR_SOURCE_DIR "/samples/") + name; }

} // namespace

class TestKaldorctlWire : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();
    void noSuchPort();

private:
    QTemporaryDir m_dir;
    QString m_everyByte; // an image of every byte value 0 .. 255, 0x00, 0x0D, 0x11 and 0x13 among them
};

void TestKaldorctlWire::initTestCase()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    m_everyByte = m_dir.filePath(QStringLiteral("every.idr"));
    QVERIFY(writeIndicatorFile(m_everyByte, 32, IndicatorImage::fromBytes(all), 0).ok);
}

void TestKaldorctlWire::commands_data()
{
    QTest::addColumn<QStringList>("faults");  // given to kaldor-sim
    QTest::addColumn<QStringList>("args");    // OUT stands for a file in a fresh folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");         // the first line of stderr
    QTest::addColumn<int>("tanksAfter");      // on the meter
    QTest::addColumn<QString>("outImage");    // the file whose image OUT holds afterwards, or empty

    const QString water = sample(QStringLiteral("tanks/water.tnk"));
    const QString image = sample(QStringLiteral("three-tanks.idr"));
    const QStringList none;
    const QString no;

    QTest::newRow("read") << none << QStringList{"read", "OUT"} << 0 << "Indicator Data Read\n" << ""
                          << 3 << image;
    QTest::newRow("read, meter not ready") << QStringList{"--fault", "AU:1:nack"} << QStringList{"read", "OUT"}
                                           << 1 << "" << "Indicator not ready  1" << 3 << no;
    QTest::newRow("read, meter stops after two blocks")
        << QStringList{"--fault", "AU:2:stop"} << QStringList{"read", "OUT"} << 1 << ""
        << "Comm timeout  4" << 3 << no;
    QTest::newRow("read, announced count too large")
        << QStringList{"--fault", "AU:2:wrong"} << QStringList{"read", "OUT"} << 1 << "" << "" << 3 << no;
    QTest::newRow("write") << none << QStringList{"write", image} << 0 << "Data Sent\n" << "" << 3 << no;
    QTest::newRow("write, command refused") << QStringList{"--fault", "AD:1:nack"} << QStringList{"write", image}
                                            << 1 << "" << "Command not accepted" << 3 << no;
    QTest::newRow("write, block refused") << QStringList{"--fault", "AD:4:nack"} << QStringList{"write", image}
                                          << 1 << "" << "Data not complete" << 3 << no;
    QTest::newRow("write, missing file") << none << QStringList{"write", "OUT"} << 1 << ""
                                         << "Get Indicator data first " << 3 << no;
    QTest::newRow("clear") << none << QStringList{"clear"} << 0 << "Clear Command Sent\n" << "" << 0 << no;
    QTest::newRow("key") << none << QStringList{"key", "SW"} << 0 << "" << "" << 3 << no;
    QTest::newRow("send-tank") << none << QStringList{"send-tank", water} << 0 << "Tank data sent.\n" << ""
                               << 4 << no;
    QTest::newRow("send-tank, a new number for the image")
        << none << QStringList{"send-tank", water, "--image", image, "--tank", "9"} << 0 << "Tank data sent.\n"
        << "" << 4 << no;
    QTest::newRow("send-tank, number in use in the image")
        << none << QStringList{"send-tank", water, "--image", image} << 1 << "" << "Tank number already in use."
        << 3 << no;
    QTest::newRow("send-tank, tank number given") << none << QStringList{"send-tank", water, "--tank", "9"} << 0
                                                  << "Tank data sent.\n" << "" << 4 << no;
    QTest::newRow("send-tank, tank number out of range")
        << none << QStringList{"send-tank", water, "--tank", "300"} << 1 << ""
        << "Input not accepted. Tank number must be between 1 and 255." << 3 << no;
    QTest::newRow("send-tank, meter refuses a data byte")
        << QStringList{"--fault", "CD:5:nack"} << QStringList{"send-tank", water} << 1 << "" << "" << 3 << no;
    // Every byte value passes unchanged both ways; a line that dies mid-read is a failure.
    QTest::newRow("read every byte value") << QStringList{"--image", m_everyByte} << QStringList{"read", "OUT"} << 0
                                           << "Indicator Data Read\n" << "" << 16 << m_everyByte;
    QTest::newRow("write every byte value") << none << QStringList{"write", m_everyByte} << 0 << "Data Sent\n" << ""
                                            << 16 << no;
    QTest::newRow("read, line closes during the count") << QStringList{"--fault", "AU:2:close"} << QStringList{"read", "OUT"} << 1 << "" << ""
                                                        << 3 << no;
    QTest::newRow("read, line closes during a block")
        << QStringList{"--fault", "AU:4:close"} << QStringList{"read", "OUT"} << 1 << "" << "" << 3 << no;
}

void TestKaldorctlWire::commands()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, tanksAfter);
    QFETCH(QString, outImage);

    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("meter.idr"));
    const QString outFile = dir.filePath(QStringLiteral("out.idr"));
    QProcess sim;
    sim.start(QStringLiteral(KALDOR_SIM_PATH),
              QStringList{"--image", sample(QStringLiteral("three-tanks.idr")), "--save", saved} + faults);
    QVERIFY(sim.waitForStarted());
    if (!sim.waitForReadyRead(5000))
        QSKIP("kaldor-sim found no pseudo-terminal");
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    // A read's OUT exists already: a failed read must leave it as it was.
    const bool reading = args.constFirst() == QLatin1String("read");
    const QByteArray before = " 0 ,  0 ,  0 \r\n";
    if (reading) {
        QFile f(outFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    args.replaceInStrings(QStringLiteral("OUT"), outFile);
    QProcess ctl;
    ctl.setWorkingDirectory(dir.path());
    ctl.start(QStringLiteral(KALDORCTL_PATH), QStringList{"--port", device} + args);
    QVERIFY(ctl.waitForFinished(30000));
    const Run run{ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1,
                  QString::fromLatin1(ctl.readAllStandardOutput()), QString::fromLatin1(ctl.readAllStandardError())};
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));

    QCOMPARE(run.status, status);
    QCOMPARE(run.out, out);
    if (status == 0)
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(!run.err.isEmpty(), "a refusal says why on stderr");
    if (!err.isEmpty())
        QCOMPARE(run.err.section(QLatin1Char('\n'), 0, 0), err);

    if (!outImage.isEmpty()) {
        QCOMPARE(loadIndicatorFile(outFile).image, loadIndicatorFile(outImage).image);
    } else if (reading) {
        QFile f(outFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
    // Nothing else is left behind: no working file, no temporary file.
    const QStringList expectedFiles =
        reading ? QStringList{"meter.idr", "out.idr"} : QStringList{"meter.idr"};
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), expectedFiles);

    const IndicatorFileLoad meter = loadIndicatorFile(saved);
    QVERIFY(meter.ok());
    QCOMPARE(int(meter.image.at(layout::kTankCountAddress)), tanksAfter);
    if (args.constFirst() == QLatin1String("write") && status == 0)
        QCOMPARE(meter.image, loadIndicatorFile(args.at(1)).image);
}

void TestKaldorctlWire::noSuchPort()
{
    QTemporaryDir dir;
    QProcess ctl;
    ctl.start(QStringLiteral(KALDORCTL_PATH), QStringList{"--port", dir.filePath(QStringLiteral("ttyNONE")), "clear"});
    QVERIFY(ctl.waitForFinished(30000));
    QCOMPARE(ctl.exitCode(), 1);
    QCOMPARE(QString::fromLatin1(ctl.readAllStandardError()),
             QStringLiteral("The serial port %1 does not exist.\n").arg(dir.filePath(QStringLiteral("ttyNONE"))));
}

QTEST_GUILESS_MAIN(TestKaldorctlWire)
#include "tst_kaldorctl_wire.moc"
