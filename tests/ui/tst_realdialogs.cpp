// The windows with the program's own dialogs: real Qt message boxes, questions and file dialogs
// run modally over the window that asked, answered as a person answers them. A timer finds the
// active modal widget once the meter has finished, reads it, and presses OK, the planned Yes or
// No, or fills in the file dialog's name and accepts it. For every action that ends in a message
// or asks a question, against the simulated meter with backup and verify on: what was shown, in
// order, and that the program outlives it.

#include "editor/editorwindow.h"
#include "link/safewrite.h"
#include "store/workingfile.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/uirig.h"
#include "ui/qtdialogs.h"
#include "ui/showmessages.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>

using namespace kaldor;
using namespace kaldor::testing;

class TestRealDialogs : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void actions_data();
    void actions();
    void parentGone_data();
    void parentGone();
    void proposedName();

private:
    std::optional<FreshDirectory> m_dir;
};

void TestRealDialogs::actions_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("answers"); // %D: the test's directory
    QTest::addColumn<QStringList>("shown");   // "…" at the end: a prefix
    QTest::addColumn<QString>("fault");       // on the meter
    QTest::addColumn<bool>("paced");          // the meter answers as slowly as a real line
    QTest::addColumn<QString>("gone");        // a window that has gone at the end
    QTest::addColumn<QString>("written"); // a file there at the end, a meter command made ("CL")
                                          // or not made ("!CL")

    // A step: "OWNER:ACTION" triggers a menu item ("-": the main window's), "click:OWNER:BUTTON",
    // "enter:OWNER:ENTRY:TEXT" types into a box and presses Enter, "row:OWNER:LIST:TEXT" selects
    // an item, "select:OWNER:TABLE:N" the table's N-th row, "close:OWNER" is the window's close
    // box, "wait" waits until the meter and the boxes have answered, "unlink" removes the working
    // file, "block" puts a folder in its place, so that it cannot be removed.
    const auto row = [](const char* name, const QStringList& steps, const QStringList& answers,
                        const QStringList& shown, const char* written, const char* gone = "",
                        const char* fault = "", bool paced = false) {
        QTest::newRow(name) << steps << answers << shown << QString(fault) << paced << QString(gone)
                            << QString(written);
    };
    const QStringList editor{"-:tfiles", "atnkfrm:topen"};
    const QString curve = "%D/curve.tnk";
    const QStringList viewer{"-:mfiles", "meterform:fileopen"};
    const QString idr = "%D/sent.idr";
    const QString sent = "message: Data Sent\n\nWhat the meter held before the write is kept in …";

    // Nothing calls the clear off once it is on its way: the window stays for its message.
    row("Clear: Yes, then Cancel and the close box while it runs",
        {"-:aclear", "click:clearit:Command1", "click:clearit:Command2", "close:clearit"}, {},
        {"message: Clear Command Sent\n\nWhat the meter held before the write is kept in …"}, "CL",
        "clearit");
    row("Clear: Cancel", {"-:aclear", "click:clearit:Command2"}, {}, {}, "!CL", "clearit");
    row("Send Tank data: no backup, written without one", editor + QStringList{"atnkfrm:asend"},
        {curve, "Yes"},
        {"open: Open",
         "question: No backup of the meter could be made: Indicator not ready  1. Nothing has been "
         "written.\n\nWrite to the meter without a backup?",
         "message: Tank data sent.\n\n" + kVerifiedMessage},
        "CD", "", "AU:1:nack");
    // Tank 3 is in the meter already: the send offers to put it back in its place.
    row("Send Tank data: the tank in use, replaced", editor + QStringList{"atnkfrm:asend"},
        {"%D/water.tnk", "Yes"},
        {"open: Open", "message: Tank number already in use.",
         "question: Replace tank 3 in the meter with this curve?\n\nThe meter is read first (that "
         "read is the backup), then its whole image is written again with every other tank as it "
         "is, and read back to check it.",
         "message: Tank 3 replaced in the meter.\n\nWhat the meter held before the write is kept "
         "in …"},
        "AD");
    // A closed editor asks nothing more: its send ends unreported.
    row("Send Tank data: no backup, the editor closed meanwhile",
        editor + QStringList{"atnkfrm:asend", "atnkfrm:tclose"}, {curve}, {"open: Open"}, "!CD",
        "atnkfrm", "AU:1:nack");
    row("Tank Files without a working file: Yes reads the meter", {"unlink", "-:tfiles"}, {"Yes"},
        {"question: No indicator file in buffer. Do you want to get the indicator file?",
         "message: Indicator Data Read"},
        "AU");
    // The built image holds tank 5 alone: the write asks before it removes the meter's three.
    const QStringList construct{"-:mfiles",
                                "meterform:aconstrct",
                                "row:constr:File1:curve.tnk",
                                "click:constr:Command1",
                                "click:constr:Command4",
                                "click:constr:Command5"};
    const QString loss = "question: The meter holds tanks 12, 3 and 7, which the image to be "
                         "written does not: writing it removes them from the meter.\n\nWrite "
                         "the image all the same?";
    row("Send File to Meter: construction, the loss let go", construct, {"Yes"},
        {"message: Indicator file built.", loss, sent}, "AD");
    row("Send File to Meter: construction, the loss refused", construct, {"No"},
        {"message: Indicator file built.", loss}, "!AD");
    // The send keeps what the meter held, and the history puts it back.
    row("Meter History: Restore to Meter, Yes",
        {"-:aupldall", "wait", "-:ahistory", "select:historyWindow:tblBackups:0",
         "click:historyWindow:cmdRestore"},
        {"Yes"},
        {sent,
         "question: Restore the backup made " + QDate::currentDate().toString(Qt::ISODate) + " …",
         sent},
        "AD");
    row("Compare with Meter: the read fails", viewer + QStringList{"edtnk:compareMeter"}, {idr},
        {"open: Open", "message: Comm timeout  4"}, "AU", "", "AU:1:stop");
    // A network address the port window cannot use: said, and the window stays for another.
    row("Comm: a bad network address typed",
        {"-:gcomm", "enter:Portscrn:portPath:tcp://plc:0", "click:Portscrn:Command2"}, {},
        {"message: \"tcp://plc:0\" is not a network address: write tcp://HOST:PORT or "
         "rfc2217://HOST:PORT, with a port number from 1 to 65535."},
        "");
    row("Save Retrieved", {"-:smetfile"}, {"%D/kept.idr"},
        {"save: Save Retrieved Indicator File", "message: %D/kept.idr saved."}, "kept.idr");
    row("Export CSV over the tank file opened", editor + QStringList{"atnkfrm:texport"},
        {curve, curve, "Yes"},
        {"open: Open", "save: Export CSV",
         "question: curve.tnk already exists.\nDo you want to replace it?",
         "message: %D/curve.tnk holds a tank file, which a CSV file would replace; nothing was "
         "done."},
        "curve.tnk");
    row("File > Save writes the tank file opened back", editor + QStringList{"atnkfrm:tsavefile"},
        {curve}, {"open: Open", "message: File %D/curve.tnk saved."}, "curve.tnk");
    row("Calibration sheet as PDF", editor + QStringList{"atnkfrm:tsheetpdf"},
        {curve, "%D/sheet.pdf"},
        {"open: Open", "save: Calibration Sheet as PDF", "message: File %D/sheet.pdf saved."},
        "sheet.pdf");
    row("Print the sheet: cancelled", editor + QStringList{"atnkfrm:tprint"}, {curve, "Cancel"},
        {"open: Open", "print: Print"}, "");
    // The editor stays until the read it started has answered, and until its message is read.
    row("Tank editor closed while it reads, the working file stays",
        {"-:tfiles", "atnkfrm:tread", "block", "atnkfrm:tclose"}, {}, {"message: Error : 75"}, "AU",
        "atnkfrm", "", true);
}

// Each road ends with no box left open, the link idle, the windows that close gone and the
// program still there.
void TestRealDialogs::actions()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, shown);
    QFETCH(QString, fault);
    QFETCH(bool, paced);
    QFETCH(QString, gone);
    QFETCH(QString, written);
    const QString dir = m_dir->path({});
    for (QString& a : answers)
        a.replace("%D", dir);
    for (QString& s : shown)
        s.replace("%D", dir);

    QVERIFY(writeIndicatorFile(workingFilePath(), sampleImage().length() / 8, sampleImage(), 0).ok);
    QVERIFY(
        writeIndicatorFile(m_dir->path("sent.idr"), sampleImage().length() / 8, sampleImage(), 0)
            .ok);
    writeFile(m_dir->path("curve.tnk"), threePointTankFile(true));
    QVERIFY(QFile::copy(KALDOR_SOURCE_DIR "/samples/tanks/water.tnk", m_dir->path("water.tnk")));
    QtDialogs dialogs;
    UiRig rig(sampleImage(),
              paced ? MeterTiming{true, std::chrono::milliseconds(10)} : MeterTiming{}, true, true,
              &dialogs);
    QVERIFY(rig.waitIdle());
    if (!fault.isEmpty()) rig.meter->addFault(*MeterFault::parse(fault));
    ModalAnswerer answerer(*rig.link, answers);

    QPointer<QWidget> closing;
    const auto failed = [&](const QString& step) {
        return (step + QStringLiteral(" after ") + answerer.shown.join(u'|')).toLocal8Bit();
    };
    for (const QString& step : steps) {
        const QStringList part = step.split(u':');
        const auto owner = [&](int i) -> QWidget* {
            return part[i] == u'-' ? rig.window.get() : rig.find(qPrintable(part[i]));
        };
        if (step == QLatin1String("unlink")) {
            QVERIFY(QFile::remove(workingFilePath()));
        } else if (step == QLatin1String("wait")) {
            QTRY_VERIFY_WITH_TIMEOUT(!rig.link->isBusy() && !QApplication::activeModalWidget(),
                                     15000);
        } else if (part[0] == QLatin1String("select")) {
            QVERIFY2(owner(1), failed(step).constData());
            owner(1)->findChild<QTableWidget*>(part[2])->selectRow(part[3].toInt());
        } else if (step == QLatin1String("block")) {
            QVERIFY(QFile::remove(workingFilePath()));
            QVERIFY(QDir().mkpath(workingFilePath() + QStringLiteral("/kept")));
        } else if (part[0] == QLatin1String("close")) {
            QVERIFY2(owner(1), failed(step).constData());
            owner(1)->close();
        } else if (part[0] == QLatin1String("click")) {
            QVERIFY2(owner(1), failed(step).constData());
            owner(1)->findChild<QPushButton*>(part[2])->click();
        } else if (part[0] == QLatin1String("enter")) {
            QVERIFY2(owner(1), failed(step).constData());
            enter(owner(1), qPrintable(part[2]), part.mid(3).join(u':'));
        } else if (part[0] == QLatin1String("row")) {
            QVERIFY2(owner(1), failed(step).constData());
            auto* list = owner(1)->findChild<QListWidget*>(part[2]);
            const auto found = list->findItems(part[3], Qt::MatchExactly);
            QVERIFY2(!found.isEmpty(), failed(step).constData());
            list->setCurrentItem(found.constFirst());
        } else {
            QVERIFY2(owner(0), failed(step).constData());
            rig.trigger(part[0] == u'-' ? nullptr : qPrintable(part[0]), qPrintable(part[1]));
        }
        if (!gone.isEmpty() && !closing) closing = rig.find(qPrintable(gone));
    }

    QTRY_VERIFY_WITH_TIMEOUT(answerer.shown.size() >= shown.size() && !rig.link->isBusy() &&
                                 !QApplication::activeModalWidget(),
                             15000);
    QCOMPARE(answerer.shown.size(), shown.size());
    for (int i = 0; i < shown.size(); ++i) {
        if (shown[i].endsWith(u'…'))
            QVERIFY2(answerer.shown[i].startsWith(shown[i].chopped(1)),
                     qPrintable(answerer.shown[i]));
        else
            QCOMPARE(answerer.shown[i], shown[i]);
    }
    if (!gone.isEmpty()) QTRY_VERIFY2(!closing, qPrintable(gone)); // after its message
    if (written.size() == 2 || written.startsWith(u'!'))
        QCOMPARE(rig.meter->commandCount(written.right(2).toLatin1()) > 0, written.size() == 2);
    else if (!written.isEmpty())
        QVERIFY2(QFileInfo(m_dir->path(written)).size() > 0, qPrintable(written));
}

void TestRealDialogs::parentGone_data()
{
    QTest::addColumn<QString>("dialog");
    for (const char* dialog : {"message", "messages", "question", "save", "open", "print"})
        QTest::newRow(dialog) << QString(dialog);
}

// A window destroyed while a box it opened is still open (something the box's event loop ran
// closed it) takes the box with it: the call returns the safe answer, and a box that would have
// followed it is not shown.
void TestRealDialogs::parentGone()
{
    QFETCH(QString, dialog);
    QtDialogs dialogs;
    QPointer<QWidget> parent = new QWidget;
    parent->setAttribute(Qt::WA_DeleteOnClose);
    parent->show();
    QTimer::singleShot(100, parent, [&] { parent->close(); });
    int strays = 0; // boxes open after the window has gone
    QTimer stray;
    connect(&stray, &QTimer::timeout, this, [&] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && !parent) {
            ++strays;
            modal->close();
        }
    });
    stray.start(300);

    bool safe = true;
    const FileDialog files{QStringLiteral("Save As"), {}, {}, true, {}, {}};
    if (dialog == QLatin1String("message")) {
        dialogs.message(parent, QStringLiteral("one"));
    } else if (dialog == QLatin1String("messages")) {
        showMessages(dialogs, parent, {info(QStringLiteral("one")), info(QStringLiteral("two"))});
    } else if (dialog == QLatin1String("question")) {
        safe = dialogs.question(parent, Question{QStringLiteral("Write?")}) == Answer::No;
    } else if (dialog == QLatin1String("save")) {
        safe = !dialogs.saveFileName(parent, files);
    } else if (dialog == QLatin1String("open")) {
        safe = !dialogs.openFileName(parent, files);
    } else {
        QPrinter printer;
        safe = !dialogs.print(parent, printer);
    }
    QVERIFY(!parent);
    QVERIFY(safe);
    QCOMPARE(strays, 0);
}

// Save Retrieved's dialog starts with the day's name in the working file's folder; Enter takes
// it as it stands.
void TestRealDialogs::proposedName()
{
    QVERIFY(writeIndicatorFile(workingFilePath(), sampleImage().length() / 8, sampleImage(), 0).ok);
    QtDialogs dialogs;
    UiRig rig(sampleImage(), {}, true, false, &dialogs);
    QVERIFY(rig.waitIdle());
    QString proposed;
    QString folder;
    QStringList messages;
    QTimer look;
    connect(&look, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            proposed = name->text();
            folder = files->directory().absolutePath();
            if (proposed.isEmpty())
                files->reject(); // nothing proposed: no name to take
            else
                QTest::keyClick(name, Qt::Key_Return);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages.append(box->text());
            box->button(QMessageBox::Ok)->click();
        }
    });
    look.start(50);
    rig.trigger(nullptr, "smetfile");
    const QString expected = "meter-" + QDate::currentDate().toString(Qt::ISODate) + ".idr";
    QCOMPARE(proposed, expected);
    QCOMPARE(folder, QDir::currentPath());
    QTRY_COMPARE(messages.size(), 1);
    QCOMPARE(messages.constFirst(), QDir::current().filePath(expected) + " saved.");
}

QTEST_MAIN(TestRealDialogs)
#include "tst_realdialogs.moc"
