// The indicator file management window and the data viewer, driven by their controls' names
// from the main window against the in-process simulated meter: a built indicator file opened,
// each tank shown, graphed and the file sent; the files the viewer refuses; the start on a file.

#include "construct/indicatorbuilder.h"
#include "link/link.h"
#include "shell/mainwindow.h"
#include "sim/simulatedport.h"
#include "store/indicatorfile.h"
#include "store/indicatortanks.h"
#include "store/managementwindow.h"
#include "store/workingfile.h"
#include "tests/link/linktesthelpers.h"
#include "tests/support/scripteddialogs.h"
#include "viewer/viewerwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace kaldor;

namespace
{

struct Rig {
    Rig() : meter(std::make_shared<SimulatedMeter>(testing::threeBlockImage()))
    {
        link = std::make_unique<Link>(
            [this](const PortSpec&) -> std::unique_ptr<SerialPort> {
                return std::make_unique<SimulatedPort>(meter);
            },
            WaitBounds{150, 300});
        window = std::make_unique<MainWindow>(*link, dialogs);
        window->startUp();
    }
    ~Rig()
    {
        window.reset();
        link.reset();
    }
    bool waitIdle()
    {
        QTest::qWait(20);
        return QTest::qWaitFor([this] { return !link->isBusy(); }, 10000);
    }
    template <class T = QWidget> T* find(const char* name)
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    // An action of the named window.
    void trigger(const char* window, const char* action)
    {
        find(window)->findChild<QAction*>(QLatin1String(action))->trigger();
    }

    std::shared_ptr<SimulatedMeter> meter;
    ScriptedDialogs dialogs;
    std::unique_ptr<Link> link;
    std::unique_ptr<MainWindow> window;
};

struct Tank {
    int number;
    QStringList values; // at 0 %, 50 % and 99.99 %
};

const QList<Tank> kTanks = {
    {12, {"100", "600", "1100"}}, {3, {"0", "500", "1000"}}, {200, {"20", "1020", "2020"}}};

// The three tanks built as the construction window builds them and saved in its form.
IndicatorImage writeThreeTankFile(const QString& path, bool offsetMode)
{
    QList<TankSource> sources;
    for (const Tank& tank : kTanks) {
        TankSource s;
        s.tankNumber = tank.number;
        s.fullScale =
            tank.values.constLast().toInt() - (offsetMode ? tank.values.constFirst().toInt() : 0);
        s.offset = offsetMode ? -tank.values.constFirst().toInt() : 0;
        const QStringList percents{"0", "50", "99.99"};
        for (int k = 0; k < 3; ++k)
            s.points.append({tank.values[k], percents[k]});
        sources.append(s);
    }
    BuildState state;
    const BuildResult built = buildFromSources(sources, offsetMode, state);
    if (!built.ok || !writeConstructedFile(path, state.image, state.totalLength).ok) return {};
    return loadIndicatorFile(path).image;
}

} // namespace

class TestIndicatorFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void oneRoad_data();
    void oneRoad();
    void refusedFiles_data();
    void refusedFiles();
    void graphShowsWhatTheEditorRefuses();
    void startWithFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

void TestIndicatorFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestIndicatorFiles::cleanup()
{
    QDir::setCurrent(m_oldDir);
    m_dir.reset();
}

void TestIndicatorFiles::oneRoad_data()
{
    QTest::addColumn<bool>("offsetMode");
    QTest::newRow("offset capable") << true;
    QTest::newRow("not offset capable") << false;
}

// Management window, viewer (each tank, the graph, the send), construction window and back.
void TestIndicatorFiles::oneRoad()
{
    QFETCH(bool, offsetMode);
    const QString mode = offsetMode ? "(Meter Offset Capable)" : "(Meter Not Offset Capable)";
    const QString path = m_dir->filePath("three.idr");
    const IndicatorImage image = writeThreeTankFile(path, offsetMode);
    QVERIFY(image.length() > 0);

    Rig rig;
    QVERIFY(rig.waitIdle());
    if (!offsetMode) QTest::mouseClick(rig.find<QCheckBox>("Check1"), Qt::LeftButton);
    rig.window->findChild<QAction*>("mfiles")->trigger();
    auto* files = rig.find<ManagementWindow>("meterform");
    QVERIFY(files && files->isVisible() && !rig.window->isVisible());
    QCOMPARE(files->windowTitle(), "Indicator File Management " + mode);
    rig.trigger("meterform", "smeter");
    QCOMPARE(rig.dialogs.messages(), QStringList{"No file selected"});

    // A cancelled dialog opens nothing; a chosen file opens the viewer in the window's place.
    rig.dialogs.queueFileName(std::nullopt);
    rig.trigger("meterform", "fileopen");
    QVERIFY(!rig.find("edtnk"));
    rig.dialogs.queueFileName(path);
    rig.trigger("meterform", "fileopen");
    QCOMPARE(rig.dialogs.shown().constLast().text, QStringLiteral("Indicator (*.idr)"));
    QCOMPARE(rig.dialogs.shown().constLast().defaultSuffix, QStringLiteral("idr"));
    auto* viewer = rig.find<ViewerWindow>("edtnk");
    QVERIFY(viewer && viewer->isVisible() && !files->isVisible());
    QCOMPARE(viewer->windowTitle(), "Indicator/Tank Data " + mode);
    QCOMPARE(viewer->findChild<QLabel*>("Label3")->text(), QStringLiteral("three.idr"));
    auto* list = viewer->findChild<QListWidget*>("List1");
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->item(i)->text());
    QCOMPARE(entries, (QStringList{"Tank  12", "Tank  3", "Tank  200"}));

    auto* grid = viewer->findChild<QTableView*>("Grid1");
    const auto cell = [grid](int row, int column) {
        return grid->model()->index(row, column).data().toString();
    };
    QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral(" Vol."));
    rig.trigger("edtnk", "aview");
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Nothing selected"));
    QCOMPARE(cell(1, 2), QString());

    // The first tank by a double-click, the others by View.
    for (int i = 0; i < kTanks.size(); ++i) {
        list->setCurrentRow(i);
        if (i == 0) {
            const QPoint at = list->visualItemRect(list->item(0)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else
            rig.trigger("edtnk", "aview");
        QCOMPARE(viewer->findChild<QLabel*>("Label1")->text(), entries[i]);
        QCOMPARE((QStringList{cell(1, 2), cell(2, 2), cell(3, 2), cell(4, 2)}),
                 (QStringList{" 0", " 50.00", "99.99", ""}));
        QCOMPARE((QStringList{cell(1, 1), cell(2, 1), cell(3, 1)}), kTanks[i].values);
    }

    rig.trigger("edtnk", "agraph");
    auto* graph = viewer->findChild<QWidget*>("graphit");
    QVERIFY(graph && graph->isVisible());
    graph->close();

    // The viewer's send drives its bar to 100; the meter then holds the file's image.
    auto* bar = viewer->findChild<QProgressBar*>("pbEdit");
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values.append(v); });
    const qsizetype before = rig.dialogs.messages().size();
    rig.trigger("edtnk", "smeter");
    QVERIFY(bar->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().size(), before + 1);
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), image.bytes());
    QVERIFY(!bar->isVisible());
    QCOMPARE(values.constLast(), 100);

    // Closing the viewer removes the working file and brings the management window back, which
    // still sends the chosen file.
    {
        QFile working(workingFilePath());
        QVERIFY(working.open(QIODevice::WriteOnly));
    }
    QPointer<QWidget> viewerGuard(viewer);
    rig.trigger("edtnk", "aclose");
    QTRY_VERIFY(!viewerGuard);
    QVERIFY(!QFile::exists(workingFilePath()));
    QVERIFY(files->isVisible());
    QCOMPARE(files->chosenFile(), path);
    rig.meter->setImage(testing::threeBlockImage());
    rig.trigger("meterform", "smeter");
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), image.bytes());

    rig.trigger("meterform", "aconstrct");
    auto* construction = rig.find("constr");
    QVERIFY(construction && construction->isVisible() && !files->isVisible());
    QCOMPARE(construction->windowTitle(), "Construct Indicator File from Tank Files " + mode);
    construction->close();
    QVERIFY(files->isVisible());
    rig.trigger("meterform", "aexit");
    QVERIFY(rig.window->isVisible());
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestIndicatorFiles::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: a directory of that name
    QTest::addColumn<QString>("message");    // "%1" stands for the chosen path
    QTest::addColumn<bool>("viewerStays");

    QTest::newRow("ends before its count")
        << QByteArray(" 0 ,  3 ,  1 ,  2 ") << kEndOfDataMessage << true;
    QTest::newRow("no tanks") << formatIndicatorFile(3, testing::threeBlockImage(), 0)
                              << kNoTankDataMessage << true;
    QTest::newRow("count too large")
        << QByteArray("200, 0, 1, 2, 3") << errorText(err::kSubscript) << false;
    QTest::newRow("value outside a byte")
        << QByteArray("0, 1, 1, 2, 300, 4, 5, 6, 7, 8, 9") << errorText(err::kInvalidCall) << false;
    QTest::newRow("a directory") << QByteArray() << "%1: not a regular file (a directory); not read"
                                 << false;
}

// What the viewer cannot show is reported; the program goes on with its port open, and the
// management window is there again unless the viewer stays open on an empty list.
void TestIndicatorFiles::refusedFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(bool, viewerStays);

    const QString path = m_dir->filePath("bad.idr");
    if (content.isEmpty()) {
        QVERIFY(QDir().mkdir(path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    Rig rig;
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    QVERIFY(rig.waitIdle());
    rig.window->findChild<QAction*>("mfiles")->trigger();
    rig.dialogs.queueFileName(path);
    rig.trigger("meterform", "fileopen");
    QTRY_COMPARE(rig.dialogs.messages(), QStringList{QString(message).replace("%1", path)});
    auto* viewer = rig.find<ViewerWindow>("edtnk");
    QTRY_COMPARE(bool(viewer && viewer->isVisible()), viewerStays);
    if (viewerStays) QCOMPARE(viewer->findChild<QListWidget*>("List1")->count(), 0);
    QCOMPARE(rig.find("meterform")->isVisible(), !viewerStays);
    QTest::qWait(20);
    QCOMPARE(ended.size(), 0);
    QVERIFY(rig.link->isPortOpen());
}

// The viewer's shorter check: a curve that ends at 95 % is drawn.
void TestIndicatorFiles::graphShowsWhatTheEditorRefuses()
{
    const QString path = m_dir->filePath("short.idr");
    IndicatorImage image = writeThreeTankFile(path, true);
    const TankRecord first = loadIndicatorTanks(path).records.constFirst();
    const int lastPercentWord = first.start + 2 * 6; // full scale, offset, two points before it
    const int percentWord = int(95 / 99.99 * 32767);
    image.set(lastPercentWord, percentWord / 256);
    image.set(lastPercentWord + 1, percentWord % 256);
    QVERIFY(writeConstructedFile(path, image, image.length()).ok);

    Rig rig;
    rig.window->startWithIndicatorFile(path);
    auto* viewer = rig.find<ViewerWindow>("edtnk");
    viewer->findChild<QListWidget*>("List1")->setCurrentRow(0);
    rig.trigger("edtnk", "aview");
    rig.trigger("edtnk", "agraph");
    QVERIFY(rig.dialogs.messages().isEmpty());
    auto* graph = viewer->findChild<QWidget*>("graphit");
    QVERIFY(graph && graph->isVisible());
}

// kaldor FILE.idr: the viewer on the file, the management window behind it, keeping the file
// by its whole path (the construction window moves the current directory).
void TestIndicatorFiles::startWithFile()
{
    const QString path = m_dir->filePath("start.IDR");
    QVERIFY(writeThreeTankFile(path, true).length() > 0);
    Rig rig;
    rig.window->startWithIndicatorFile("start.IDR"); // as given on the command line
    auto* viewer = rig.find<ViewerWindow>("edtnk");
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(viewer->findChild<QListWidget*>("List1")->count(), kTanks.size());
    auto* files = rig.find<ManagementWindow>("meterform");
    QVERIFY(files && !files->isVisible() && !rig.window->isVisible());
    viewer->close();
    QVERIFY(files->isVisible());
    QCOMPARE(files->chosenFile(), path);
    QVERIFY(rig.dialogs.messages().isEmpty());
}

QTEST_MAIN(TestIndicatorFiles)
#include "tst_indicatorfiles.moc"
