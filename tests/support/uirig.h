#pragma once
// What the window tests share: the program's parts wired as main() wires them (the simulated
// meter behind every port the link makes, the link, scripted dialogs, the main window), a fresh
// current directory for the working file, and small file helpers.

#include "link/link.h"
#include "shell/mainwindow.h"
#include "sim/simulatedport.h"
#include "store/indicatorfile.h"
#include "tests/link/linktesthelpers.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testfiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <mutex>

namespace kaldor::testing {

// A simulated line whose open() can be made to fail as a real port would; it tells when the
// link deletes it (on the link's thread).
class TestPort : public SimulatedPort {
public:
    TestPort(std::shared_ptr<SimulatedMeter> meter, MeterTiming timing, PortStatus opening,
             std::function<void(TestPort*)> deleted)
        : SimulatedPort(std::move(meter), timing), m_opening(std::move(opening)),
          m_deleted(std::move(deleted))
    {
    }
    ~TestPort() override { m_deleted(this); }
    PortStatus open() override { return m_opening.ok() ? SimulatedPort::open() : m_opening; }

private:
    PortStatus m_opening;
    std::function<void(TestPort*)> m_deleted;
};

inline PortStatus failing(PortError e)
{
    return PortStatus{e, QStringLiteral("test port refused")};
}

// start: the main window starts up (opening port 1) at once; otherwise the test sets the
// failures first and starts it, or opens the port itself. safeWrites: the windows' writes keep
// a backup and verify, as in the program; otherwise they go on the wire alone. Backups go to a
// folder of the rig's own, never the user's. The windows show their boxes and file dialogs
// through shown, or through the rig's scripted dialogs when none is given.
struct UiRig {
    explicit UiRig(IndicatorImage image, MeterTiming timing = {}, bool start = true,
                   bool safeWrites = false, Dialogs* shown = nullptr)
        : meter(std::make_shared<SimulatedMeter>(image)), timing(timing)
    {
        link = std::make_unique<Link>(
            [this](const PortSpec& port) -> std::unique_ptr<SerialPort> {
                auto deleted = [this](TestPort* gone) {
                    const std::lock_guard lock(mutex);
                    sentOnDeletedPorts += gone->sentBytes();
                    ports.removeOne(gone);
                };
                auto p = std::make_unique<TestPort>(meter, this->timing,
                                                    failures.value(port.number), deleted);
                const std::lock_guard lock(mutex);
                ports.append(p.get());
                opened.append(port.number);
                return p;
            },
            WaitBounds{150, 300});
        link->setWriteSafety(WriteSafety{backupFolder(), safeWrites, safeWrites});
        window = std::make_unique<MainWindow>(*link, shown ? *shown : dialogs);
        if (start) window->startUp();
    }
    ~UiRig()
    {
        window.reset();
        link.reset();
    }

    QString backupFolder() const { return backups.filePath(QStringLiteral("backups")); }
    // What the program wrote to the meter on every port it made, in order.
    QByteArray sent()
    {
        const std::lock_guard lock(mutex);
        QByteArray all = sentOnDeletedPorts;
        for (TestPort* p : ports)
            all += p->sentBytes();
        return all;
    }
    QList<int> portsOpened()
    {
        const std::lock_guard lock(mutex);
        return opened;
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
    // An action of the named window, or of the main window when none is named.
    void trigger(const char* owner, const char* action)
    {
        QWidget* w = owner ? find(owner) : window.get();
        QVERIFY2(w, owner);
        QAction* a = w->findChild<QAction*>(QLatin1String(action));
        QVERIFY2(a, action);
        a->trigger();
    }

    std::shared_ptr<SimulatedMeter> meter;
    MeterTiming timing;
    QTemporaryDir backups;
    QMap<int, PortStatus> failures; // port number -> how opening it fails
    std::mutex mutex;
    QList<TestPort*> ports; // owned by the link, which deletes the one it no longer uses
    QByteArray sentOnDeletedPorts;
    QList<int> opened;
    ScriptedDialogs dialogs;
    std::unique_ptr<Link> link;
    std::unique_ptr<MainWindow> window;
};

// The working file and the tank files live in the current directory: each test gets a fresh one.
struct FreshDirectory {
    FreshDirectory() : old(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~FreshDirectory() { QDir::setCurrent(old); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    QString old;
};

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out.append(list->item(row)->text());
    return out;
}

// A double-click on a list's item, or below the items when row is -1. A real double-click
// starts with a press, which selects the item.
inline void doubleClickItem(QListWidget* list, int row)
{
    const QPoint at = row < 0 ? QPoint(2, list->viewport()->height() - 2)
                              : list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// Types text into the owner's named entry box and presses Enter.
inline void enter(QWidget* owner, const char* name, const QString& text)
{
    auto* entry = owner->findChild<QLineEdit*>(QLatin1String(name));
    QTest::keyClicks(entry, text);
    QTest::keyClick(entry, Qt::Key_Return);
}

} // namespace kaldor::testing
