// The construction window driven by its controls' names (the road through it, from the editor
// to the meter, is in tst_indicatorfiles): the list rules and their messages, drops from a file
// manager among them; the directory list moving the current directory; the build and save
// refusals.

#include "construct/constructionwindow.h"
#include "store/indicatortanks.h"
#include "tests/support/uirig.h"

#include <QFileSystemModel>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

const QString kBuilt = QStringLiteral("Indicator file built.");

// A three-point tank file in the offset-capable layout, as the editor writes it; a relative
// path is in the test's directory.
void writeTank(const QString& path, int tankNumber, int fullScale = 1000)
{
    const QByteArray scale = QByteArray::number(fullScale);
    writeFile(path, QByteArray::number(tankNumber) + "\r\n " + scale + " \r\n 0 \r\n 3 \r\n0, 0," +
                        QByteArray::number(fullScale / 2) + ", 50," + scale + ", 99.99,");
}

// The window on its own over the shared rig's link to a meter that holds no tanks, port open.
struct Rig : UiRig {
    Rig() : UiRig(SimulatedMeter::emptyImage(), {}, false)
    {
        link->openPort(nullptr, PortSpec{}, {});
        constr = std::make_unique<ConstructionWindow>(*link, dialogs, true);
        constr->show();
        QVERIFY(QTest::qWaitForWindowExposed(constr.get()));
        QVERIFY(waitIdle());
    }
    ~Rig() { constr.reset(); }

    template <class T> T* child(const char* name)
    {
        return constr->findChild<T*>(QLatin1String(name));
    }
    QListWidget* files() { return child<QListWidget>("File1"); }
    QListWidget* chosen() { return child<QListWidget>("List1"); }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    // "Add a Tank" on each named file in turn.
    void add(const QStringList& names)
    {
        for (const QString& name : names) {
            select(files(), name);
            click("Command1");
        }
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
        const auto found = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(name.isEmpty() || !found.isEmpty(), qPrintable(name));
        doubleClickItem(list, name.isEmpty() ? -1 : list->row(found.first()));
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

    std::unique_ptr<ConstructionWindow> constr;
};

} // namespace

class TestConstructionWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void listRules_data();
    void listRules();
    void directoryList();
    void refusedBuildKeepsLastGood();
    void saveRefusals_data();
    void saveRefusals();

private:
    std::optional<FreshDirectory> m_dir;
    QString path(const QString& name) const { return m_dir->path(name); }
};

void TestConstructionWindow::listRules_data()
{
    // Steps: pick:N selects N in File1, add clicks "Add a Tank", fileDbl:N double-clicks N in
    // File1, choose:N selects N in List1, remove clicks "Remove a Tank", listDbl:N double-clicks
    // N in List1 (listDbl: the empty part below the entries), cd:D shows subdirectory D,
    // drop:N,M… drops those files on List1 from a file manager. "@" in a message stands for the
    // test's directory.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("directory"); // shown at the end, below the test's directory
    const auto row = [](const char* name, const QStringList& steps, const QStringList& list,
                        const QStringList& messages = {}, const char* directory = "") {
        QTest::newRow(name) << steps << list << messages << QString(directory);
    };
    const QString nothing = QStringLiteral("Nothing selected.");
    const QString already = QStringLiteral("Tank already in.");
    row("add with nothing selected", {"add"}, {}, {nothing});
    row("added in order, double-click adds too", {"pick:b.tnk", "add", "fileDbl:a.tnk"},
        {"b.tnk", "a.tnk"});
    row("the same name twice, dropped too", {"pick:a.tnk", "add", "fileDbl:a.tnk", "drop:a.tnk"},
        {"a.tnk"}, {already, already});
    row("the same name from another directory",
        {"pick:a.tnk", "add", "cd:other", "pick:a.tnk", "add"}, {"a.tnk"}, {already}, "other");
    row("names differing in case, and the same tank number",
        {"pick:a.tnk", "add", "pick:A.tnk", "add", "pick:twin.tnk", "add"},
        {"a.tnk", "A.tnk", "twin.tnk"});
    row("remove the selected entry",
        {"pick:a.tnk", "add", "pick:b.tnk", "add", "choose:a.tnk", "remove", "remove"}, {"b.tnk"},
        {nothing});
    row("double-click removes an entry, the empty part nothing",
        {"pick:a.tnk", "add", "pick:b.tnk", "add", "listDbl:b.tnk", "listDbl:"}, {"a.tnk"});
    row("a drop on an empty list follows the file's directory", {"drop:other/a.tnk"}, {"a.tnk"}, {},
        "other");
    row("a drop from another directory once the list holds names",
        {"drop:a.tnk", "drop:other/a.tnk"}, {"a.tnk"},
        {"@/other/a.tnk: the file lies outside the directory @, where the listed tanks are read; "
         "choose its directory first."});
    row("dropped tank files, and one that is not", {"drop:a.tnk,notes.txt,b.tnk"},
        {"a.tnk", "b.tnk"}, {"@/notes.txt: not a tank file (*.tnk); it was not added."});
}

void TestConstructionWindow::listRules()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, list);
    QFETCH(QStringList, messages);
    QFETCH(QString, directory);
    QVERIFY(QDir().mkdir(QStringLiteral("other")));
    const std::pair<const char*, int> tanks[]{
        {"a.tnk", 1}, {"A.tnk", 2}, {"b.tnk", 3}, {"twin.tnk", 1}, {"other/a.tnk", 9}};
    for (const auto& [name, tank] : tanks)
        writeTank(QString::fromLatin1(name), tank);
    writeFile(QStringLiteral("notes.txt"), "text");
    const QString root = QDir(m_dir->dir.path()).canonicalPath();
    QVERIFY(QDir::setCurrent(root));

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
        else if (verb == QLatin1String("drop"))
            rig.drop(
                name.split(QLatin1Char(',')).replaceInStrings(QRegularExpression("^"), root + '/'));
        else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(texts(rig.chosen()), list);
    QCOMPARE(rig.dialogs.messages(), messages.replaceInStrings(QStringLiteral("@"), root));
    QVERIFY(rig.chosen()->selectedItems().isEmpty());
    QCOMPARE(rig.constr->directory(), directory.isEmpty() ? root : root + '/' + directory);
}

// The directory list moves the current directory, so the chosen names are opened in the
// directory shown last; the file list shows the tank files there as they come and go.
void TestConstructionWindow::directoryList()
{
    QDir top(m_dir->dir.path());
    QVERIFY(top.mkdir(QStringLiteral("one")) && top.mkdir(QStringLiteral("two")));
    QVERIFY(top.mkdir(QStringLiteral("two/folder.tnk")));
    writeTank(QStringLiteral("one/t.tnk"), 5);
    writeTank(QStringLiteral("two/t.tnk"), 9);
    writeTank(QStringLiteral("two/UPPER.TNK"), 7);
    writeFile(path(QStringLiteral("two/t.tnk.bak")), "old");
    const QString one = QDir(path(QStringLiteral("one"))).canonicalPath();
    const QString two = QDir(path(QStringLiteral("two"))).canonicalPath();
    QVERIFY(QDir::setCurrent(one));

    Rig rig;
    QCOMPARE(rig.constr->directory(), one);
    QCOMPARE(texts(rig.files()), QStringList{"t.tnk"});
    rig.add({"t.tnk"});

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

    writeTank(two + QStringLiteral("/new.tnk"), 4);
    QTRY_COMPARE(texts(rig.files()), (QStringList{"new.tnk", "t.tnk", "UPPER.TNK"}));
    rig.select(rig.files(), QStringLiteral("t.tnk"));
    QVERIFY(QFile::remove(two + QStringLiteral("/new.tnk")));
    QTRY_COMPARE(texts(rig.files()), (QStringList{"t.tnk", "UPPER.TNK"}));
    QCOMPARE(rig.files()->selectedItems().value(0)->text(), QStringLiteral("t.tnk"));
}

// A refused build names the file; the image, its length and the built flag of the last good
// build stay, so saving and sending still give that build. (A file gone before the build takes
// the same road; the builder's test has it.)
void TestConstructionWindow::refusedBuildKeepsLastGood()
{
    writeTank(QStringLiteral("good.tnk"), 4);
    writeTank(QStringLiteral("more.tnk"), 6, 3000);
    writeTank(QStringLiteral("bad.tnk"), 8);

    Rig rig;
    rig.add({"good.tnk", "more.tnk"});
    rig.click("Command4");
    rig.dialogs.queueFileName(path(QStringLiteral("first.idr")));
    rig.click("Command3");

    rig.add({"bad.tnk"});
    writeFile(path(QStringLiteral("bad.tnk")),
              readFile(dataPath("refused-tanks/full-scale-0.tnk")));
    rig.dialogs.clear();
    rig.click("Command4");
    QCOMPARE(
        rig.dialogs.messages(),
        QStringList{"Tank file bad.tnk cannot be used: its full scale is 0; it must be above 0."});

    rig.dialogs.queueFileName(path(QStringLiteral("second.idr")));
    rig.click("Command3");
    QCOMPARE(readFile(path(QStringLiteral("second.idr"))),
             readFile(path(QStringLiteral("first.idr"))));
    rig.click("Command5");
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(),
             loadIndicatorTanks(path(QStringLiteral("first.idr"))).image.bytes());
}

void TestConstructionWindow::saveRefusals_data()
{
    // build: build before Save; keep: list entries left when Save is pressed; names: the save
    // dialog's answers in turn (nothing queued cancels).
    QTest::addColumn<bool>("build");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<QString>("written"); // the file the save leaves, or empty
    const QString notBuilt = QStringLiteral("File not built yet");
    const auto row = [](const char* name, bool build, int keep, const QStringList& names,
                        const QStringList& messages, int dialogs, const char* written = "") {
        QTest::newRow(name) << build << keep << names << messages << dialogs << QString(written);
    };
    row("save before a build", false, 2, {"out.idr"}, {notBuilt}, 0);
    row("save after the list was emptied", true, 0, {"out.idr"}, {kBuilt, notBuilt}, 0);
    row("over a listed tank file", true, 2, {"site.idr.tnk"},
        {kBuilt,
         "site.idr.tnk is one of the tank files the image is built from; it was not written."},
        1);
    row("a directory that does not exist", true, 2, {"missing/out.idr"}, {kBuilt, "Error:  76"}, 1);
}

void TestConstructionWindow::saveRefusals()
{
    QFETCH(bool, build);
    QFETCH(int, keep);
    QFETCH(QStringList, names);
    QFETCH(QStringList, messages);
    QFETCH(int, dialogs);
    QFETCH(QString, written);
    writeTank(QStringLiteral("plain.tnk"), 1);
    writeTank(QStringLiteral("site.idr.tnk"), 2);
    const QByteArray tankBytes = readFile(path(QStringLiteral("site.idr.tnk")));

    Rig rig;
    rig.add({"plain.tnk", "site.idr.tnk"});
    if (build) rig.click("Command4");
    while (rig.chosen()->count() > keep)
        rig.doubleClick(rig.chosen(), rig.chosen()->item(0)->text());
    for (const QString& name : names)
        rig.dialogs.queueFileName(name);
    rig.click("Command3");
    QCOMPARE(rig.dialogs.messages(), messages);
    QCOMPARE(rig.dialogs.shown().size() - rig.dialogs.messages().size(), dialogs);
    QCOMPARE(readFile(path(QStringLiteral("site.idr.tnk"))), tankBytes);
    QCOMPARE(QDir().entryList({"*.idr*"}, QDir::Files),
             written.isEmpty() ? QStringList{"site.idr.tnk"}
                               : (QStringList{written, "site.idr.tnk"}));
}

QTEST_MAIN(TestConstructionWindow)
#include "tst_constructionwindow.moc"
