#pragma once
// The constr window, "Construct Indicator File from Tank Files": tank files chosen from a
// directory into an ordered list, built into an indicator image, saved as an indicator file or
// sent to the meter. The list holds plain file names; the process's current directory follows
// the directory list, and the build opens the names there.

#include "construct/indicatorbuilder.h"

#include <QFileSystemWatcher>
#include <QStringList>
#include <QWidget>

class QFileSystemModel;
class QListWidget;
class QProgressBar;
class QTreeView;
class QUrl;

namespace kaldor {

class Dialogs;
class Link;

class ConstructionWindow : public QWidget {
    Q_OBJECT
public:
    ConstructionWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent = nullptr);

    // The directory the file list shows, which is also the current directory.
    QString directory() const { return m_directory; }
    // The chosen list, in order.
    QStringList chosenTanks() const;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void showDirectory(const QString& path);
    void listTankFiles();
    void addSelectedTank();
    bool addTank(const QString& name);
    void removeSelectedTank(bool sayWhenNone);
    void addDroppedFiles(const QList<QUrl>& urls);
    void buildIndicatorFile();
    void saveIndicatorFile();
    void sendIndicatorFile();

    Link& m_link;
    Dialogs& m_dialogs;
    const bool m_offsetMode;
    BuildState m_state;
    QString m_directory;
    QFileSystemWatcher m_watcher; // the shown directory: files that appear or vanish
    bool m_keepDirectoryInView = true;

    QFileSystemModel* m_dirModel = nullptr;
    QTreeView* m_dirList = nullptr;
    QListWidget* m_fileList = nullptr;
    QListWidget* m_chosen = nullptr;
    QProgressBar* m_progress = nullptr;
};

} // namespace kaldor
