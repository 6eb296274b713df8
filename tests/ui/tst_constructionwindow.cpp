// The construction window driven by its controls' names: tank files written by the editor in
// each layout, chosen, built, saved and sent to the simulated meter; the list rules and their
// messages; the directory list moving the current directory; drops from a file manager; and
// the build and save refusals.

#include "construct/constructionwindow.h"
#include "editor/curvecheck.h"
#include "editor/tankfile.h"
#include "link/link.h"
#include "sim/simulatedport.h"
#include "store/indicatortanks.h"
#include "tests/support/scripteddialogs.h"

#include <QFileSystemModel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUrl>
#include <QtTest>

using namespace kaldor;

namespace
{

const QString kBuilt = QStringLiteral("Indicator file built.");

// A three-point curve saved as the tank editor saves it: checked, encoded, written.
void writeTank(const QString& path, int tankNumber, int fullScale, bool offsetMode, int offset = 0)
{
    CurveTable table;
    const QStringList values{QString::number(-offset), QString::number(fullScale / 2 - offset),
                             QString::number(fullScale - offset)};
    const QStringList percents{QStringLiteral("0"), QStringLiteral("50"), QStringLiteral("99.99")};
    for (int row = 1; row <= 3; ++row) {
        table.setValue(row, values[row - 1]);
        table.setPercent(row, percents[row - 1]);
    }
    const CurveCheck check = validateCurve(table);
    QVERIFY(check.curveValid);
    // The offset is minus the first value, the full scale the last value plus the offset.
    const EncodedCurve encoded = encodeCurve(table, *check.pointCount, offsetMode);
    QVERIFY(encoded.ok);
    const TankFileSave saved = saveTankFile(path, QString::number(tankNumber), encoded,
                                            *check.pointCount, table, offsetMode);
    QVERIFY2(saved.ok, qPrintable(saved.messages.value(0).text));
}

void writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(text), text.size());
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out.append(list->item(row)->text());
    return out;
}

// The window over a link to a simulated meter that holds no tanks, its port open.
struct Rig {
    explicit Rig(bool offsetMode = true)
        : meter(std::make_shared<SimulatedMeter>(SimulatedMeter::emptyImage()))
    {
        link = std::make_unique<Link>(
            [this](const PortSpec&) -> std::unique_ptr<SerialPort> {
                return std::make_unique<SimulatedPort>(meter);
            },
            WaitBounds{150, 300});
        link->openPort(nullptr, PortSpec{}, {});
        window = std::make_unique<ConstructionWindow>(*link, dialogs, offsetMode);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(waitIdle());
    }
    ~Rig()
    {
        window.reset();
        link.reset();
    }

    template <class T> T* child(const char* name)
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    QListWidget* files() { return child<QListWidget>("File1"); }
    QListWidget* chosen() { return child<QListWidget>("List1"); }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    bool waitIdle()
    {
        QTest::qWait(20);
        return QTest::qWaitFor([this] { return !link->isBusy(); }, 10000);
    }
    void select(QListWidget* list, const QString& name)
    {
        const auto found = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        list->setCurrentItem(found.first());
    }
    // A double-click on the named item, or on the empty part below the items when name is empty.
    void doubleClick(QListWidget* list, const QString& name)
    {
        QPoint at(4, list->viewport()->height() - 4);
        if (!name.isEmpty()) {
            const auto found = list->findItems(name, Qt::MatchExactly);
            QVERIFY2(!found.isEmpty(), qPrintable(name));
            at = list->visualItemRect(found.first()).center();
        }
        // The events a mouse gives, sent to the list as they come; QTest's own double-click goes
        // through the window's click timing and does not reach a list it has not clicked before.
        QWidget* viewport = list->viewport();
        const QPointF global = viewport->mapToGlobal(QPointF(at));
        for (const auto& [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                            std::pair{QEvent::MouseButtonRelease, Qt::NoButton},
                                            std::pair{QEvent::MouseButtonDblClick, Qt::LeftButton},
                                            std::pair{QEvent::MouseButtonRelease, Qt::NoButton}}) {
            QMouseEvent event(type, QPointF(at), global, Qt::LeftButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        }
    }
    void showDirectory(const QString& path)
    {
        auto* tree = child<QTreeView>("Dir1");
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        QVERIFY(model);
        tree->setCurrentIndex(model->index(path));
    }
    void drop(const QStringList& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(QUrl::fromLocalFile(p));
        data.setUrls(urls);
        QWidget* target = chosen()->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &dropped);
        QVERIFY(dropped.isAccepted());
    }

    std::shared_ptr<SimulatedMeter> meter;
    ScriptedDialogs dialogs;
    std::unique_ptr<Link> link;
    std::unique_ptr<ConstructionWindow> window;
};

} // namespace

class TestConstructionWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeRoad_data();
    void wholeRoad();
    void listRules_data();
    void listRules();
    void directoryList();
    void drops_data();
    void drops();
    void refusedBuildKeepsLastGood_data();
    void refusedBuildKeepsLastGood();
    void saveAndSendRefusals_data();
    void saveAndSendRefusals();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
    QString path(const QString& name) const { return m_dir->filePath(name); }
};

// The window starts at the current directory: every test gets a fresh one.
void TestConstructionWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestConstructionWindow::cleanup()
{
    QDir::setCurrent(m_oldDir);
    m_dir.reset();
}

void TestConstructionWindow::wholeRoad_data()
{
    QTest::addColumn<bool>("offsetMode");
    QTest::addColumn<QString>("title");
    QTest::newRow("offset capable")
        << true << "Construct Indicator File from Tank Files (Meter Offset Capable)";
    QTest::newRow("not offset capable")
        << false << "Construct Indicator File from Tank Files (Meter Not Offset Capable)";
}

// Three tank files chosen out of file order, built, saved, and sent: the meter then holds the
// saved image byte for byte, and the tanks decode in list order with the curves written.
void TestConstructionWindow::wholeRoad()
{
    QFETCH(bool, offsetMode);
    QFETCH(QString, title);
    writeTank(path(QStringLiteral("east.tnk")), 12, 1000, offsetMode, offsetMode ? 100 : 0);
    writeTank(path(QStringLiteral("north.tnk")), 3, 2400, offsetMode);
    writeTank(path(QStringLiteral("west.tnk")), 200, 800, offsetMode);
    writeText(path(QStringLiteral("notes.txt")), "not a tank");

    Rig rig(offsetMode);
    QCOMPARE(rig.window->windowTitle(), title);
    QCOMPARE(texts(rig.files()), (QStringList{"east.tnk", "north.tnk", "west.tnk"}));
    QVERIFY(!rig.child<QProgressBar>("pbConstr")->isVisible());

    rig.select(rig.files(), QStringLiteral("west.tnk"));
    rig.click("Command1");
    rig.doubleClick(rig.files(), QStringLiteral("east.tnk"));
    rig.select(rig.files(), QStringLiteral("north.tnk"));
    rig.click("Command1");
    QCOMPARE(texts(rig.chosen()), (QStringList{"west.tnk", "east.tnk", "north.tnk"}));
    QVERIFY(rig.files()->selectedItems().isEmpty());

    rig.click("Command4");
    QCOMPARE(rig.dialogs.messages(), QStringList{kBuilt});

    const QString saved = path(QStringLiteral("site.idr"));
    rig.dialogs.queueFileName(saved);
    rig.click("Command3");
    QCOMPARE(rig.dialogs.messages().constLast(), saved + QStringLiteral(" saved."));
    const IndicatorTanks tanks = loadIndicatorTanks(saved);
    QVERIFY2(tanks.ok(), qPrintable(tanks.detail));
    QCOMPARE(tanks.records.size(), 3);
    const QList<int> numbers{200, 12, 3};
    const QList<int> fullScales{800, 1000, 2400};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(tanks.records[i].tankNumber, numbers[i]);
        const TankCurve curve = curveFromRecord(tanks.records[i], offsetMode);
        QCOMPARE(curve.fullScale, fullScales[i]);
        QCOMPARE(curve.points.size(), 3);
        QVERIFY(qAbs(curve.points[1].percent - 50) < 0.01);
        QCOMPARE(curve.points[2].percentWord, layout::kEndMarkerWord);
    }
    QCOMPARE(curveFromRecord(tanks.records[1], offsetMode).offset.value_or(0),
             offsetMode ? 100 : 0);

    QSignalSpy progress(rig.child<QProgressBar>("pbConstr"), &QProgressBar::valueChanged);
    rig.click("Command5");
    QVERIFY(rig.child<QProgressBar>("pbConstr")->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), tanks.image.bytes());
    QCOMPARE(rig.meter->image().length(), tanks.image.length());
    // The bar climbs to exactly 100 with the last byte, then is hidden and reset.
    QList<int> values;
    for (const QList<QVariant>& args : progress)
        values.append(args.first().toInt());
    QVERIFY(values.size() >= 3);
    QCOMPARE(values.constLast(), 0);
    QCOMPARE(values.at(values.size() - 2), 100);
    QVERIFY(std::is_sorted(values.begin(), values.end() - 1));
    QVERIFY(!rig.child<QProgressBar>("pbConstr")->isVisible());

    // Closing hands back to the window that opened it and forgets the list and the build.
    QSignalSpy closed(rig.window.get(), &ConstructionWindow::closed);
    rig.window->close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(rig.chosen()->count(), 0);
    rig.window->show();
    rig.click("Command5");
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("File not built yet"));
}

void TestConstructionWindow::listRules_data()
{
    // Steps: pick:N selects N in File1, add clicks "Add a Tank", fileDbl:N double-clicks N in
    // File1, choose:N selects N in List1, remove clicks "Remove a Tank", listDbl:N double-clicks
    // N in List1 (listDbl: the empty part below the entries), cd:D shows subdirectory D.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("messages");
    const QString nothing = QStringLiteral("Nothing selected.");
    const QString already = QStringLiteral("Tank already in.");
    QTest::newRow("add with nothing selected")
        << QStringList{"add"} << QStringList{} << QStringList{nothing};
    QTest::newRow("added in order, double-click adds too")
        << QStringList{"pick:b.tnk", "add", "fileDbl:a.tnk"} << QStringList{"b.tnk", "a.tnk"}
        << QStringList{};
    QTest::newRow("the same name twice") << QStringList{"pick:a.tnk", "add", "fileDbl:a.tnk"}
                                         << QStringList{"a.tnk"} << QStringList{already};
    QTest::newRow("the same name from another directory")
        << QStringList{"pick:a.tnk", "add", "cd:other", "pick:a.tnk", "add"} << QStringList{"a.tnk"}
        << QStringList{already};
    QTest::newRow("names differing in case, and the same tank number")
        << QStringList{"pick:a.tnk", "add", "pick:A.tnk", "add", "pick:twin.tnk", "add"}
        << QStringList{"a.tnk", "A.tnk", "twin.tnk"} << QStringList{};
    QTest::newRow("remove the selected entry")
        << QStringList{"pick:a.tnk", "add", "pick:b.tnk", "add", "choose:a.tnk", "remove", "remove"}
        << QStringList{"b.tnk"} << QStringList{nothing};
    QTest::newRow("double-click removes an entry, the empty part nothing")
        << QStringList{"pick:a.tnk", "add", "pick:b.tnk", "add", "listDbl:b.tnk", "listDbl:"}
        << QStringList{"a.tnk"} << QStringList{};
}

void TestConstructionWindow::listRules()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, list);
    QFETCH(QStringList, messages);
    writeTank(path(QStringLiteral("a.tnk")), 1, 1000, true);
    writeTank(path(QStringLiteral("A.tnk")), 2, 1000, true);
    writeTank(path(QStringLiteral("b.tnk")), 3, 1000, true);
    writeTank(path(QStringLiteral("twin.tnk")), 1, 1000, true);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("other")));
    writeTank(path(QStringLiteral("other/a.tnk")), 9, 1000, true);

    Rig rig;
    for (const QString& step : steps) {
        const QString verb = step.section(QLatin1Char(':'), 0, 0);
        const QString name = step.section(QLatin1Char(':'), 1);
        if (verb == QLatin1String("pick"))
            rig.select(rig.files(), name);
        else if (verb == QLatin1String("add"))
            rig.click("Command1");
        else if (verb == QLatin1String("fileDbl"))
            rig.doubleClick(rig.files(), name);
        else if (verb == QLatin1String("choose"))
            rig.select(rig.chosen(), name);
        else if (verb == QLatin1String("remove"))
            rig.click("Command2");
        else if (verb == QLatin1String("listDbl"))
            rig.doubleClick(rig.chosen(), name);
        else if (verb == QLatin1String("cd"))
            rig.showDirectory(path(name));
        else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(texts(rig.chosen()), list);
    QCOMPARE(rig.dialogs.messages(), messages);
    QVERIFY(rig.chosen()->selectedItems().isEmpty());
}

// The directory list moves the current directory, so the chosen names are opened in the
// directory shown last; the file list shows the tank files there as they come and go.
void TestConstructionWindow::directoryList()
{
    QDir top(m_dir->path());
    QVERIFY(top.mkdir(QStringLiteral("one")) && top.mkdir(QStringLiteral("two")));
    QVERIFY(top.mkdir(QStringLiteral("two/folder.tnk")));
    writeTank(path(QStringLiteral("one/t.tnk")), 5, 1000, true);
    writeTank(path(QStringLiteral("two/t.tnk")), 9, 1000, true);
    writeTank(path(QStringLiteral("two/UPPER.TNK")), 7, 1000, true);
    writeText(path(QStringLiteral("two/t.tnk.bak")), "old");
    const QString one = QDir(path(QStringLiteral("one"))).canonicalPath();
    const QString two = QDir(path(QStringLiteral("two"))).canonicalPath();
    QVERIFY(QDir::setCurrent(one));

    Rig rig;
    QCOMPARE(rig.window->directory(), one);
    QCOMPARE(texts(rig.files()), QStringList{"t.tnk"});
    rig.select(rig.files(), QStringLiteral("t.tnk"));
    rig.click("Command1");

    rig.showDirectory(two);
    QCOMPARE(QDir::currentPath(), two);
    QCOMPARE(texts(rig.files()), (QStringList{"t.tnk", "UPPER.TNK"}));
    rig.click("Command4");
    rig.dialogs.queueFileName(QStringLiteral("built.idr"));
    rig.click("Command3");
    QCOMPARE(rig.dialogs.messages(), (QStringList{kBuilt, "built.idr saved."}));
    const IndicatorTanks tanks = loadIndicatorTanks(two + QStringLiteral("/built.idr"));
    QVERIFY2(tanks.ok(), qPrintable(tanks.detail));
    QCOMPARE(tanks.records.value(0).tankNumber, 9);

    writeTank(two + QStringLiteral("/new.tnk"), 4, 1000, true);
    QTRY_COMPARE(texts(rig.files()), (QStringList{"new.tnk", "t.tnk", "UPPER.TNK"}));
    rig.select(rig.files(), QStringLiteral("t.tnk"));
    QVERIFY(QFile::remove(two + QStringLiteral("/new.tnk")));
    QTRY_COMPARE(texts(rig.files()), (QStringList{"t.tnk", "UPPER.TNK"}));
    QCOMPARE(rig.files()->selectedItems().value(0)->text(), QStringLiteral("t.tnk"));
}

void TestConstructionWindow::drops_data()
{
    // Paths below the test directory; the window shows "here" when the drop comes.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("a name already in")
        << QStringList{"here/a.tnk"} << QStringList{"here/a.tnk"} << QStringList{"a.tnk"} << "here"
        << QStringList{"Tank already in."};
    QTest::newRow("an empty list follows the file's directory")
        << QStringList{} << QStringList{"there/c.tnk"} << QStringList{"c.tnk"} << "there"
        << QStringList{};
    QTest::newRow("another directory once the list holds names")
        << QStringList{"here/a.tnk"} << QStringList{"there/c.tnk"} << QStringList{"a.tnk"} << "here"
        << QStringList{"@there/c.tnk: the file lies outside the directory @here, where the listed "
                       "tanks are read; choose its directory first."};
    QTest::newRow("tank files from the directory shown, and one that is not")
        << QStringList{} << QStringList{"here/a.tnk", "here/notes.txt", "here/b.tnk"}
        << QStringList{"a.tnk", "b.tnk"} << "here"
        << QStringList{"@here/notes.txt: not a tank file (*.tnk); it was not added."};
}

// Files dropped on List1 from a file manager join it by the rules of "Add a Tank".
void TestConstructionWindow::drops()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, list);
    QFETCH(QString, directory);
    QFETCH(QStringList, messages);
    QDir top(m_dir->path());
    QVERIFY(top.mkdir(QStringLiteral("here")) && top.mkdir(QStringLiteral("there")));
    writeTank(path(QStringLiteral("here/a.tnk")), 1, 1000, true);
    writeTank(path(QStringLiteral("here/b.tnk")), 2, 1000, true);
    writeText(path(QStringLiteral("here/notes.txt")), "text");
    writeTank(path(QStringLiteral("there/c.tnk")), 3, 1000, true);
    const QString root = top.canonicalPath() + QLatin1Char('/');
    QVERIFY(QDir::setCurrent(root + QStringLiteral("here")));

    const auto paths = [&](const QStringList& names) {
        QStringList out;
        for (const QString& n : names)
            out.append(root + n);
        return out;
    };
    Rig rig;
    if (!before.isEmpty()) rig.drop(paths(before));
    rig.drop(paths(dropped));
    QCOMPARE(texts(rig.chosen()), list);
    QCOMPARE(rig.window->directory(), root + directory);
    QCOMPARE(rig.dialogs.messages(), messages.replaceInStrings(QStringLiteral("@"), root));
}

void TestConstructionWindow::refusedBuildKeepsLastGood_data()
{
    QTest::addColumn<QByteArray>("badFile"); // empty: the file is gone when the build runs
    QTest::addColumn<QString>("message");
    QTest::newRow("full scale 0")
        << QByteArray("8\r\n 0 \r\n 0 \r\n 1 \r\n0, 99.99,")
        << "Tank file bad.tnk cannot be used: its full scale is 0; it must be above 0.";
    QTest::newRow("vanished") << QByteArray()
                              << "Tank file @bad.tnk cannot be read: file not found.";
}

// A refused build names the file; the image, its length and the built flag of the last good
// build stay, so saving and sending still give that build.
void TestConstructionWindow::refusedBuildKeepsLastGood()
{
    QFETCH(QByteArray, badFile);
    QFETCH(QString, message);
    writeTank(path(QStringLiteral("good.tnk")), 4, 1000, true);
    writeTank(path(QStringLiteral("more.tnk")), 6, 3000, true);
    writeTank(path(QStringLiteral("bad.tnk")), 8, 1000, true);

    Rig rig;
    for (const QString name : {"good.tnk", "more.tnk"}) {
        rig.select(rig.files(), name);
        rig.click("Command1");
    }
    rig.click("Command4");
    rig.dialogs.queueFileName(path(QStringLiteral("first.idr")));
    rig.click("Command3");

    rig.select(rig.files(), QStringLiteral("bad.tnk"));
    rig.click("Command1");
    if (badFile.isEmpty())
        QVERIFY(QFile::remove(path(QStringLiteral("bad.tnk"))));
    else
        writeText(path(QStringLiteral("bad.tnk")), badFile);
    rig.dialogs.clear();
    rig.click("Command4");
    QCOMPARE(
        rig.dialogs.messages(),
        QStringList{message.replace(QStringLiteral("@"), QDir::currentPath() + QLatin1Char('/'))});

    rig.dialogs.queueFileName(path(QStringLiteral("second.idr")));
    rig.click("Command3");
    QCOMPARE(fileBytes(path(QStringLiteral("second.idr"))),
             fileBytes(path(QStringLiteral("first.idr"))));
    rig.click("Command5");
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(),
             loadIndicatorTanks(path(QStringLiteral("first.idr"))).image.bytes());
}

void TestConstructionWindow::saveAndSendRefusals_data()
{
    // build: build before the button; keep: list entries left when the button is pressed;
    // names: the save dialog's answers in turn (nothing queued cancels).
    QTest::addColumn<bool>("build");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<QString>("written"); // the file the save leaves, or empty
    const QString notBuilt = QStringLiteral("File not built yet");
    const QString wrong = QStringLiteral("Wrong file extension");
    QTest::newRow("save before a build")
        << false << 2 << "Command3" << QStringList{"out.idr"} << QStringList{notBuilt} << 0 << "";
    QTest::newRow("send before a build")
        << false << 2 << "Command5" << QStringList{} << QStringList{notBuilt} << 0 << "";
    QTest::newRow("save after the list was emptied")
        << true << 0 << "Command3" << QStringList{"out.idr"} << QStringList{kBuilt, notBuilt} << 0
        << "";
    QTest::newRow(".Idr asks again, cancel ends silently")
        << true << 2 << "Command3" << QStringList{"out.Idr", "out.tnk"}
        << QStringList{kBuilt, wrong, wrong} << 3 << "";
    QTest::newRow(".idr in the middle of the name")
        << true << 2 << "Command3" << QStringList{"out.idr.txt"}
        << QStringList{kBuilt, "out.idr.txt saved."} << 1 << "out.idr.txt";
    QTest::newRow("over a listed tank file")
        << true << 2 << "Command3" << QStringList{"site.idr.tnk"}
        << QStringList{kBuilt,
                       "site.idr.tnk is one of the tank files the image is built from; it was not "
                       "written."}
        << 1 << "";
    QTest::newRow("a directory that does not exist")
        << true << 2 << "Command3" << QStringList{"missing/out.idr"}
        << QStringList{kBuilt, "Error:  76"} << 1 << "";
}

void TestConstructionWindow::saveAndSendRefusals()
{
    QFETCH(bool, build);
    QFETCH(int, keep);
    QFETCH(QString, button);
    QFETCH(QStringList, names);
    QFETCH(QStringList, messages);
    QFETCH(int, dialogs);
    QFETCH(QString, written);
    writeTank(path(QStringLiteral("plain.tnk")), 1, 1000, true);
    writeTank(path(QStringLiteral("site.idr.tnk")), 2, 1000, true);
    const QByteArray tankBytes = fileBytes(path(QStringLiteral("site.idr.tnk")));

    Rig rig;
    for (const QString name : {"plain.tnk", "site.idr.tnk"}) {
        rig.select(rig.files(), name);
        rig.click("Command1");
    }
    if (build) rig.click("Command4");
    while (rig.chosen()->count() > keep)
        rig.doubleClick(rig.chosen(), rig.chosen()->item(0)->text());
    for (const QString& name : names)
        rig.dialogs.queueFileName(name);
    rig.click(qPrintable(button));
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.dialogs.messages(), messages);
    QCOMPARE(rig.dialogs.shown().size() - rig.dialogs.messages().size(), dialogs);
    QCOMPARE(fileBytes(path(QStringLiteral("site.idr.tnk"))), tankBytes);
    const QStringList idrs = QDir(m_dir->path()).entryList({"*.idr*"}, QDir::Files);
    const QStringList expected =
        written.isEmpty() ? QStringList{"site.idr.tnk"} : QStringList{written, "site.idr.tnk"};
    QCOMPARE(idrs, expected);
    QCOMPARE(rig.meter->commandCount("AD"), 0);
}

QTEST_MAIN(TestConstructionWindow)
#include "tst_constructionwindow.moc"
