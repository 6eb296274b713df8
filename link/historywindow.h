#pragma once
// The meter's history window, "Meter History": the backups folder newest first, one row a
// backup with the time it was made, its tanks, the size of its image and whether it holds what
// the meter held when last read in this run. Two backups selected compare side by side; one is
// restored to the meter by the windows' safe write (backup, write, verify) or opened in the
// viewer. The folder can be changed for the run, and the link's later backups go there. The
// list follows every exchange as it ends.

#include "link/backuphistory.h"

#include <QVector>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace kaldor {

class Dialogs;
class Link;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    HistoryWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent = nullptr);

    // Lists the link's backups folder again; the backups selected stay selected.
    void refresh();

public slots:
    void compareBackups();
    void restoreBackup();
    void openBackup();
    void changeFolder();

private:
    QVector<BackupRow> selectedRows() const; // newest first
    void updateButtons();

    Link& m_link;
    Dialogs& m_dialogs;
    bool m_offsetMode;
    QVector<BackupRow> m_rows; // one per table row
    BackupReadings m_readings; // the files listed before, read once while they stay the same

    QLabel* m_folder = nullptr;
    QTableWidget* m_table = nullptr;
    QPushButton* m_compare = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_open = nullptr;
    QProgressBar* m_progress = nullptr;
};

} // namespace kaldor
