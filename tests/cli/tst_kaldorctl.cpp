// kaldorctl on files: what it prints, where, and its exit status, run as a separate process.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// A run that does not end within 10 s (a read that waits on a FIFO) is killed and fails.
// An unprivileged run started as root drops to the user 65534, so that a file without read
// permission is refused as it is to a technician.
Run kaldorctl(const QStringList& args, const QString& workDir = QString(), bool unprivileged = false)
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    if (unprivileged) {
        p.setChildProcessModifier([] {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(99);
        });
    }
    p.start(QStringLiteral(KALDORCTL_PATH), args);
    if (!p.waitForFinished(10000))
        p.kill();
    p.waitForFinished();
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

    // A tank listed twice: --tank shows its first entry and says where the others are,
    // --entry K shows each.
    writeFile(dir.filePath(QStringLiteral("twelve.tnk")), "12\r\n 1000 \r\n 0 \r\n 2 \r\n0, 0,1000, 99.99,");
    const QString twice = dir.filePath(QStringLiteral("twice.idr"));
    QCOMPARE(kaldorctl({QStringLiteral("build"), twice, sample(QStringLiteral("tanks/diesel.tnk")),
                        dir.filePath(QStringLiteral("twelve.tnk"))})
                 .status,
             0);
    const Run first = kaldorctl({QStringLiteral("show"), twice, QStringLiteral("--tank"), QStringLiteral("12")});
    QCOMPARE(first.out.count('\n'), 7);
    QVERIFY2(first.err.contains(QStringLiteral("also entry 2")), qPrintable(first.err));
    const Run second = kaldorctl({QStringLiteral("show"), twice, QStringLiteral("--entry"), QStringLiteral("2")});
    QCOMPARE(second.status, 0);
    QCOMPARE(second.out, QStringLiteral("0\t 0\n1000\t99.99\n"));
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
    QTest::addColumn<QString>("err"); // stands once in what is printed on stderr
    const QString diesel = sample(QStringLiteral("tanks/diesel.tnk"));
    const QString three = sample(QStringLiteral("three-tanks.idr"));
    const auto row = [](const char* name, const QStringList& args, int status, const QString& err) {
        QTest::newRow(name) << args << status << err;
    };
    row("no command", {}, 2, QStringLiteral("Usage:"));
    row(".Idr is not .idr", {QStringLiteral("build"), QStringLiteral("out.Idr"), diesel}, 1,
        QStringLiteral("Wrong file extension\n"));
    row("missing tank file", {QStringLiteral("build"), QStringLiteral("o.idr"), QStringLiteral("nope.tnk")}, 1,
        QStringLiteral("nope.tnk cannot be read: file not found."));
    row("tank not in file", {QStringLiteral("show"), three, QStringLiteral("--tank"), QStringLiteral("99")}, 1,
        QStringLiteral("Tank 99 is not in"));
    row("missing image", {QStringLiteral("show"), QStringLiteral("absent.idr")}, 1,
        QStringLiteral("absent.idr: file not found\n"));
    // Every file the tool reads goes through one check: a regular file, small enough.
    row("check a directory", {QStringLiteral("check"), QStringLiteral(".")}, 1,
        QStringLiteral("Error:  75\n.: not a regular file (a directory)"));
    row("show a FIFO", {QStringLiteral("show"), QStringLiteral("fifo.idr")}, 1,
        QStringLiteral("fifo.idr: not a regular file (a FIFO)"));
    row("build from /dev/zero", {QStringLiteral("build"), QStringLiteral("o.idr"), QStringLiteral("/dev/zero")}, 1,
        QStringLiteral("Tank file /dev/zero cannot be read: not a regular file (a character device)"));
    row("show 5 MiB", {QStringLiteral("show"), QStringLiteral("big.idr")}, 1,
        QStringLiteral("big.idr: 5242880 bytes, larger than any indicator or tank file"));
    row("show without permission", {QStringLiteral("show"), QStringLiteral("locked.idr")}, 1,
        QStringLiteral("Error:  70\nlocked.idr: permission denied\n"));
    row("check without permission", {QStringLiteral("check"), QStringLiteral("locked.tnk")}, 1,
        QStringLiteral("Error:  70\nlocked.tnk: permission denied\n"));
    row("value 256", {QStringLiteral("show"), QStringLiteral("v.idr")}, 1,
        QStringLiteral("value 256 at file position 5"));
    // The output may not be one of the tank files, by name or through a link.
    row("output is an input", {QStringLiteral("build"), QStringLiteral("a.idr.tnk"), QStringLiteral("a.idr.tnk")}, 1,
        QStringLiteral("a.idr.tnk is one of the tank files the image is built from"));
    row("output links to an input", {QStringLiteral("build"), QStringLiteral("link.idr"), QStringLiteral("a.idr.tnk")},
        1, QStringLiteral("link.idr is one of the tank files"));
    row("--tank twice", {QStringLiteral("show"), three, QStringLiteral("--tank"), QStringLiteral("3"),
                         QStringLiteral("--tank"), QStringLiteral("7")},
        2, QStringLiteral("give one --tank or one --entry"));
    row("--tank and --entry", {QStringLiteral("show"), three, QStringLiteral("--entry"), QStringLiteral("1"),
                               QStringLiteral("--tank"), QStringLiteral("7")},
        2, QStringLiteral("give one --tank or one --entry"));
    row("empty --entry", {QStringLiteral("show"), three, QStringLiteral("--entry"), QString()}, 2,
        QStringLiteral("--entry takes a directory position"));
    row("entry past the directory", {QStringLiteral("show"), three, QStringLiteral("--entry"), QStringLiteral("4")}, 1,
        QStringLiteral("there is no entry 4; the directory has 3 entries"));
    row("--port twice", {QStringLiteral("--port"), QStringLiteral("1"), QStringLiteral("--port=2"),
                         QStringLiteral("show"), three},
        2, QStringLiteral("--port takes one device, given once"));
}

void TestKaldorctl::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QDir d(dir.path());
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
    const QByteArray tank = "5\r\n 1000 \r\n 0 \r\n 2 \r\n0, 0,1000, 99.99,";
    writeFile(d.filePath(QStringLiteral("a.idr.tnk")), tank);
    writeFile(d.filePath(QStringLiteral("locked.tnk")), tank);
    writeFile(d.filePath(QStringLiteral("locked.idr")), " 0 , 0 , 0 ");
    writeFile(d.filePath(QStringLiteral("v.idr")), " 0 , 1 , 61 , 180 , 256 , 1 , 1 , 1 , 1 , 1 , 61\r\n");
    QVERIFY(QFile::setPermissions(d.filePath(QStringLiteral("locked.tnk")), {}));
    QVERIFY(QFile::setPermissions(d.filePath(QStringLiteral("locked.idr")), {}));
    QVERIFY(QFile::link(QStringLiteral("a.idr.tnk"), d.filePath(QStringLiteral("link.idr"))));
    QVERIFY(::mkfifo(QFile::encodeName(d.filePath(QStringLiteral("fifo.idr"))).constData(), 0666) == 0);
    QFile big(d.filePath(QStringLiteral("big.idr")));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(5 << 20));
    big.close();

    const Run r = kaldorctl(args, dir.path(), true);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.count(err) == 1, qPrintable(r.err));
    QFile source(d.filePath(QStringLiteral("a.idr.tnk")));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(source.readAll(), tank);
    QVERIFY(!QFile::exists(d.filePath(QStringLiteral("out.Idr"))));
    QVERIFY(!QFile::exists(d.filePath(QStringLiteral("o.idr"))));
}

void TestKaldorctl::check_data()
{
    QTest::addColumn<QByteArray>("tankFile");
    QTest::addColumn<bool>("offsetMode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
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
