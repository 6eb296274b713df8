// The indicator file container: both writers byte for byte, read-back, and the refusals of
// the readers' load.

#include "store/indicatorfile.h"
#include "store/messages.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace kaldor;

Q_DECLARE_METATYPE(kaldor::LoadStatus)

namespace {

const QByteArray kOneBlock =
    QByteArray::fromRawData("\x3d\xb4\xc8\x84\x96\x96\x14\x50", 8); // 61 180 200 132 150 150 20 80

IndicatorImage imageOf(const QByteArray& bytes)
{
    return IndicatorImage::fromBytes(bytes);
}

QByteArray patternBytes(int length)
{
    QByteArray bytes(length, 0);
    for (int i = 0; i < length; ++i)
        bytes[i] = char((i * 37 + i / 251) % 256);
    return bytes;
}

// A download-form file of the given count fields and values, written the way a hand edit would.
QByteArray plainFile(const QByteArray& body)
{
    return body + "\r\n";
}

} // namespace

class TestIndicatorFile : public QObject {
    Q_OBJECT
private slots:
    void downloadFormOneBlock()
    {
        QCOMPARE(formatIndicatorFile(1, imageOf(kOneBlock), 61),
                 testing::readFile(testing::dataPath(QStringLiteral("one-block.idr"))));
    }

    // Both forms, up to the longest image (count 12, 53): the two counts, the image and one
    // item after it; the download form one line ended by CR LF, the constructed form no line end.
    void bothFormsReadBack_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("one block") << 8;
        QTest::newRow("longest image") << 25000;
    }
    void bothFormsReadBack()
    {
        QFETCH(int, length);
        IndicatorImage image = imageOf(patternBytes(length));
        image.set(length, 201); // the constructed form's item after the image
        const QByteArray forms[] = {
            formatIndicatorFile(length / 8, image, image.at(length - 8)),
            formatConstructedFile(image, length),
        };
        const int trailing[] = {image.at(length - 8), 201};
        for (int f = 0; f < 2; ++f) {
            QCOMPARE(forms[f].count(',') + 1, 2 + length + 1);
            QCOMPARE(forms[f].indexOf('\r'), f == 0 ? forms[f].size() - 2 : -1);
            QCOMPARE(forms[f].indexOf('\n'), f == 0 ? forms[f].size() - 1 : -1);
            const IndicatorFileLoad load = loadIndicatorFileFromBytes(forms[f]);
            QCOMPARE(load.status, LoadStatus::Ok);
            QCOMPARE(load.image.length(), length);
            QCOMPARE(load.image.bytes(), image.bytes());
            QCOMPARE(load.trailingValue, std::optional<int>(trailing[f]));
        }
    }

    // What the readers' load says of a file: its status, error number and a detail that names
    // the fault. A file that is missing, not a regular file or larger than any indicator file
    // can be is refused before a byte is read.
    void loadFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // or <missing>, <directory>, <5 MiB>
        QTest::addColumn<LoadStatus>("status");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("mentions");
        const QByteArray eight = " 61 , 180 , 200 , 132 , 150 , 150 , 20 , 80";
        const auto row = [](const char* name, const QByteArray& body, LoadStatus status, int error,
                            const QString& mentions = {}) {
            QTest::newRow(name) << plainFile(body) << status << error << mentions;
        };
        QTest::newRow("missing") << QByteArray("<missing>") << LoadStatus::NotFound << 53
                                 << "file not found";
        QTest::newRow("directory") << QByteArray("<directory>") << LoadStatus::Failed << 75
                                   << "not a regular file (a directory)";
        QTest::newRow("5 MiB") << QByteArray("<5 MiB>") << LoadStatus::Failed << 75
                               << "5242880 bytes, larger than";
        QTest::newRow("empty file") << QByteArray() << LoadStatus::Failed << 62 << QString();
        row("counts only", " 0 , 1", LoadStatus::Failed, 62);
        row("not a number", " 0 , 1 , 61 , x1 ," + eight, LoadStatus::Failed, 13);
        row("40000", " 0 , 1 , 40000 ," + eight, LoadStatus::Failed, 6);
        // Refused before any image value is read: the file holds none, so reading would say 62.
        row("count 3126", " 12 , 54", LoadStatus::Failed, 9);
        row("negative low", " 0 , -8", LoadStatus::Failed, 9);
        row("value 256", " 0 , 1 , 61 , 180 , 256 , 1 , 1 , 1 , 1 , 1 , 61", LoadStatus::Failed, 5,
            "position 5");
        row("exactly N values", " 0 , 1 ," + eight, LoadStatus::EndOfData, 0, "ends after 8 of 8");
        row("trailing garbage", " 0 , 1 ," + eight + " , 61 , junk , 5", LoadStatus::Ok, 0);
        row("no blocks", " 0 , 0 , 0", LoadStatus::Ok, 0);
        QTest::newRow("line feeds only")
            << QByteArray("0\n1\n61\n180\n200\n132\n150\n150\n20\n80\n61\n") << LoadStatus::Ok << 0
            << QString();
    }
    void loadFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(LoadStatus, status);
        QFETCH(int, error);
        QFETCH(QString, mentions);
        QTemporaryDir dir;
        const QString path = dir.filePath("case.idr");
        const bool refusedWhole = content.startsWith('<');
        if (content == "<directory>") QVERIFY(QDir(dir.path()).mkdir("case.idr"));
        QFile large(path);
        if (content == "<5 MiB>") // sparse: holes read as zeros, and a valid start
            QVERIFY(large.open(QIODevice::WriteOnly) && large.write(" 0 , 1 ,") > 0 &&
                    large.resize(5 << 20));
        if (!refusedWhole) QVERIFY(writeFileAtomically(path, content).ok);
        const IndicatorFileLoad load = loadIndicatorFile(path);
        QCOMPARE(load.status, status);
        QCOMPARE(load.errorNumber, error);
        QCOMPARE(load.fileOpened, !refusedWhole);
        // The window's text is the number alone; where and why is said once, in the detail.
        if (status == LoadStatus::Failed || status == LoadStatus::EndOfData)
            QCOMPARE(load.message,
                     status == LoadStatus::Failed ? errorText(error) : kEndOfDataMessage);
        QVERIFY2(refusedWhole ? load.detail.startsWith(mentions) : load.detail.contains(mentions),
                 qPrintable(load.detail));
        if (status == LoadStatus::Ok) QCOMPARE(load.image.length() % 8, 0);
    }
};

QTEST_GUILESS_MAIN(TestIndicatorFile)
#include "tst_indicatorfile.moc"
