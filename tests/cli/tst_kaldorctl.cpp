// kaldorctl on files: what it prints, where, and its exit status, run as a separate process.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run kaldorctl(const QStringList& args, const QString& workDir = QString())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(KALDORCTL_PATH), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLatin1(p.readAllStandardOutput()), QString::fromLatin1(p.readAllStandardError())};
}

QString sample(const QString& name)
{
    return QStringLiteral(KALDOR_SOURCE_DIR "/samples/") + name;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestKaldorctl : public QObject {
    Q_OBJECT
private slots:
    void buildThenShow();
    void workedExampleByteForByte();
    void refusals_data();
    void refusals();
    void check_data();
    void check();
};

void TestKaldorctl::buildThenShow()
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("plant.idr"));
    const Run built = kaldorctl({QStringLiteral("build"), out, sample(QStringLiteral("tanks/diesel.tnk")),
                                 sample(QStringLiteral("tanks/water.tnk")), sample(QStringLiteral("tanks/linear.tnk"))});
    QCOMPARE(built.status, 0);
    QCOMPARE(built.out, QStringLiteral("Indicator file built.\n%1 saved.\n").arg(out));
    QCOMPARE(built.err, QString());

    const Run listed = kaldorctl({QStringLiteral("show"), out});
    QCOMPARE(listed.status, 0);
    // diesel: 7 points, 32 bytes; water 3 points, 16 bytes; linear 3 points.
    QCOMPARE(listed.out, QStringLiteral("Tank  12\t512\t16\nTank  3\t544\t8\nTank  7\t560\t8\n"));

    const Run curve = kaldorctl({QStringLiteral("show"), out, QStringLiteral("--tank"), QStringLiteral("3")});
    QCOMPARE(curve.status, 0);
    QCOMPARE(curve.out, QStringLiteral("-50\t 0\n450\t 50.00\n950\t99.99\n"));

    // The shipped sample image is the same build.
    QFile shipped(sample(QStringLiteral("three-tanks.idr")));
    QFile fresh(out);
    QVERIFY(shipped.open(QIODevice::ReadOnly) && fresh.open(QIODevice::ReadOnly));
    QCOMPARE(shipped.readAll(), fresh.readAll());
}

void TestKaldorctl::workedExampleByteForByte()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("five.tnk")), "5\r\n 1000 \r\n 0 \r\n 2 \r\n0, 0,1000, 99.99,");
    const Run built = kaldorctl({QStringLiteral("build"), QStringLiteral("five.idr"), QStringLiteral("five.tnk")},
                                dir.path());
    QCOMPARE(built.status, 0);
    QFile f(dir.filePath(QStringLiteral("five.idr")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    // 2 counts and 529 values (addresses 0 .. 528), one line, no line end.
    QVERIFY(text.startsWith(" 0 , 66 , 61 , 180 , 200 , 132 "));
    QVERIFY(text.endsWith(" 0 "));
    QCOMPARE(text.count(','), 2 + 529 - 1);
    QVERIFY(!text.contains('\n'));
    const QList<QByteArray> values = text.split(',');
    QCOMPARE(values.mid(2 + 512, 12).join(',').simplified(),
             QByteArray("3 , 232 , 0 , 0 , 0 , 0 , 0 , 0 , 127 , 255 , 127 , 255"));
}

void TestKaldorctl::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errStart");
    const QString diesel = sample(QStringLiteral("tanks/diesel.tnk"));
    QTest::newRow("no command") << QStringList{} << 2 << QStringLiteral("Usage:");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << 2
                                     << QStringLiteral("kaldorctl: unknown command");
    QTest::newRow("wrong extension") << QStringList{QStringLiteral("build"), QStringLiteral("out.txt"), diesel} << 1
                                     << QStringLiteral("Wrong file extension\n");
    QTest::newRow(".Idr is not .idr") << QStringList{QStringLiteral("build"), QStringLiteral("out.Idr"), diesel} << 1
                                      << QStringLiteral("Wrong file extension\n");
    QTest::newRow("missing tank file") << QStringList{QStringLiteral("build"), QStringLiteral("o.idr"), QStringLiteral("nope.tnk")}
                                       << 1 << QStringLiteral("Tank file ");
    QTest::newRow("tank not in file") << QStringList{QStringLiteral("show"), sample(QStringLiteral("three-tanks.idr")),
                                                     QStringLiteral("--tank"), QStringLiteral("99")}
                                      << 1 << QStringLiteral("Tank 99 is not in");
    QTest::newRow("missing image") << QStringList{QStringLiteral("show"), QStringLiteral("absent.idr")} << 1
                                   << QStringLiteral("absent.idr: file not found");
    QTest::newRow("bad tank number") << QStringList{QStringLiteral("show"), QStringLiteral("x.idr"), QStringLiteral("--tank"),
                                                    QStringLiteral("twelve")}
                                     << 2 << QStringLiteral("kaldorctl show: --tank");
}

void TestKaldorctl::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, errStart);
    QTemporaryDir dir;
    const Run r = kaldorctl(args, dir.path());
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.startsWith(errStart), qPrintable(r.err));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.txt"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("o.idr"))));
}

void TestKaldorctl::check_data()
{
    QTest::addColumn<QByteArray>("tankFile");
    QTest::addColumn<bool>("offsetMode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("three points, offset") << QByteArray("5\r\n 1000 \r\n-100 \r\n 3 \r\n100, 0,600, 50,1100, 99.99,")
                                          << true << 0
                                          << QStringLiteral("full scale\t1000\t3 232\noffset\t-100\t128 100\n"
                                                            "point 1\t0 0 0 0\npoint 2\t64 1 63 255\n"
                                                            "point 3\t127 255 127 255\n")
                                          << QString();
    QTest::newRow("three points, no offset") << QByteArray("5\r\n 1100 \r\n 3 \r\n100, 0,600, 50,1100, 99.99,")
                                             << false << 0
                                             << QStringLiteral("full scale\t1100\t4 76\n"
                                                               "point 1\t0 0 11 162\npoint 2\t64 1 69 208\n"
                                                               "point 3\t127 255 127 255\n")
                                             << QString();
    QTest::newRow("out of order") << QByteArray("5\r\n 1000 \r\n 0 \r\n 3 \r\n1000, 99.99,0, 0,500, 50,")
                                  << true << 0
                                  << QStringLiteral("Data was out of order. It has been sorted\n"
                                                    "full scale\t1000\t3 232\noffset\t0\t0 0\n"
                                                    "point 1\t0 0 0 0\npoint 2\t64 1 63 255\n"
                                                    "point 3\t127 255 127 255\n")
                                  << QString();
    QTest::newRow("last below 99.99") << QByteArray("5\r\n 1000 \r\n 0 \r\n 2 \r\n0, 0,1000, 95,") << true << 1
                                      << QString() << QStringLiteral("Last % value must be 99.99\n");
    QTest::newRow("middle above last") << QByteArray("5\r\n 1000 \r\n 0 \r\n 3 \r\n0, 0,2000, 50,1000, 99.99,")
                                       << true << 1 << QString()
                                       << QStringLiteral("Last value in grid must be largest\n");
}

void TestKaldorctl::check()
{
    QFETCH(QByteArray, tankFile);
    QFETCH(bool, offsetMode);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("t.tnk")), tankFile);
    QStringList args;
    if (!offsetMode)
        args << QStringLiteral("--no-offset");
    args << QStringLiteral("check") << QStringLiteral("t.tnk");
    const Run r = kaldorctl(args, dir.path());
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, out);
    QCOMPARE(r.status, status);
}

QTEST_GUILESS_MAIN(TestKaldorctl)
#include "tst_kaldorctl.moc"
