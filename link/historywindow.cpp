#include "link/historywindow.h"

#include "link/link.h"
#include "store/indicatortanks.h"
#include "store/offsetmode.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"
#include "viewer/comparewindow.h"
#include "viewer/viewerwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kaldor {

namespace {

constexpr QSize kWindowSize(760, 420);

const QString kCaption = QStringLiteral("Meter History");

enum Column { kTime, kTanks, kBytes, kMatch, kColumns };

QString matchText(MeterMatch match)
{
    return match == MeterMatch::Same ? QStringLiteral("same") : QString();
}

} // namespace

HistoryWindow::HistoryWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_offsetMode(offsetMode)
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(titleFor(kCaption, offsetMode));
    resize(kWindowSize);

    m_folder = new QLabel(this);
    m_folder->setObjectName(QStringLiteral("lblFolder"));
    m_folder->setWordWrap(true);
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_table = new QTableWidget(0, kColumns, this);
    m_table->setObjectName(QStringLiteral("tblBackups"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Made"), QStringLiteral("Tanks"),
                                        QStringLiteral("Size"), QStringLiteral("As last read")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->horizontalHeader()->setSectionResizeMode(kTanks, QHeaderView::Stretch);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::updateButtons);

    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_compare = button("cmdCompare", QStringLiteral("&Compare"));
    m_restore = button("cmdRestore", QStringLiteral("&Restore to Meter"));
    m_open = button("cmdOpen", QStringLiteral("&Open"));
    QPushButton* folder = button("cmdFolder", QStringLiteral("Change &Folder…"));
    QPushButton* closing = button("cmdClose", QStringLiteral("C&lose"));
    connect(m_compare, &QPushButton::clicked, this, &HistoryWindow::compareBackups);
    connect(m_restore, &QPushButton::clicked, this, &HistoryWindow::restoreBackup);
    connect(m_open, &QPushButton::clicked, this, &HistoryWindow::openBackup);
    connect(folder, &QPushButton::clicked, this, &HistoryWindow::changeFolder);
    connect(closing, &QPushButton::clicked, this, &QWidget::close);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbRestore"));
    m_progress->setRange(0, 100);
    m_progress->setVisible(false);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_compare, m_restore, m_open, folder})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(closing);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_folder);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    // Every write adds a backup, and every read or read-back may change which one matches.
    connect(&m_link, &Link::exchangeFinished, this, &HistoryWindow::refresh);
    refresh();
}

void HistoryWindow::refresh()
{
    QSet<QString> selected;
    for (const BackupRow& row : selectedRows())
        selected.insert(row.path);

    const QString folder = m_link.writeSafety().backupFolder;
    const std::shared_ptr<const IndicatorImage> last = m_link.lastImage();
    m_rows = listBackupHistory(folder, last.get(), &m_readings);
    const QString shown = QDir::toNativeSeparators(folder);
    if (!QFileInfo(folder).isDir())
        m_folder->setText(QStringLiteral("The folder %1 does not exist: there are no backups "
                                         "in it yet.")
                              .arg(shown));
    else if (m_rows.isEmpty())
        m_folder->setText(QStringLiteral("No backups in %1.").arg(shown));
    else
        m_folder->setText(
            QStringLiteral("%1 %2 in %3.%4")
                .arg(m_rows.size())
                .arg(m_rows.size() == 1 ? QStringLiteral("backup") : QStringLiteral("backups"),
                     shown,
                     last ? QString()
                          : QStringLiteral(" None is marked: the meter has not been read in this "
                                           "run, or was written since without a read-back.")));

    m_table->clearSelection();
    m_table->setRowCount(int(m_rows.size()));
    for (int r = 0; r < m_rows.size(); ++r) {
        const BackupRow& row = m_rows[r];
        const QString texts[kColumns] = {backupTimeText(row), backupTanksText(row),
                                         QStringLiteral("%1 bytes").arg(row.imageBytes),
                                         matchText(row.match)};
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setToolTip(c == kTime ? QDir::toNativeSeparators(row.path) : texts[c]);
            m_table->setItem(r, c, item);
        }
        if (selected.contains(row.path)) {
            const QTableWidgetSelectionRange range(r, 0, r, kColumns - 1);
            m_table->setRangeSelected(range, true);
        }
    }
    m_table->resizeColumnToContents(kTime);
    m_table->resizeColumnToContents(kBytes);
    m_table->resizeColumnToContents(kMatch);
    updateButtons();
}

QVector<BackupRow> HistoryWindow::selectedRows() const
{
    QVector<BackupRow> rows;
    for (int r = 0; r < m_rows.size() && r < m_table->rowCount(); ++r) {
        const QTableWidgetItem* item = m_table->item(r, kTime);
        if (item && item->isSelected()) rows.append(m_rows[r]);
    }
    return rows;
}

void HistoryWindow::updateButtons()
{
    const qsizetype count = selectedRows().size();
    m_compare->setEnabled(count == 2);
    m_restore->setEnabled(count == 1);
    m_open->setEnabled(count == 1);
}

void HistoryWindow::compareBackups()
{
    const QVector<BackupRow> rows = selectedRows();
    if (rows.size() != 2) return;
    // The older on the left, as the list is read from the bottom up.
    const BackupRow& older = rows[1];
    const BackupRow& newer = rows[0];
    IndicatorTanks a = loadIndicatorTanks(older.path);
    IndicatorTanks b = loadIndicatorTanks(newer.path);
    for (const IndicatorTanks* t : {&a, &b}) {
        if (!t->ok() && t->status != TanksStatus::NoTanks) {
            m_dialogs.message(this, t->detail);
            return;
        }
    }
    const CompareSides sides{QStringLiteral("Compare Backups"), backupTimeText(older),
                             backupTimeText(newer)};
    auto* compare =
        new CompareWindow(sides.nameA + QStringLiteral(" and ") + sides.nameB, std::move(a.records),
                          std::move(b.records), m_offsetMode, this, sides);
    compare->setAttribute(Qt::WA_DeleteOnClose);
    compare->show();
    compare->showTank(0);
}

void HistoryWindow::restoreBackup()
{
    const QVector<BackupRow> rows = selectedRows();
    if (rows.size() != 1) return;
    Question q;
    q.text = QStringLiteral("Restore the backup made %1 to the meter? Every tank the meter holds "
                            "now is replaced by the backup's.")
                 .arg(backupTimeText(rows[0]));
    q.icon = QuestionIcon::Question;
    q.defaultAnswer = Answer::No;
    if (m_dialogs.question(this, q) != Answer::Yes) return;
    sendIndicatorFile(m_link, m_dialogs, this, rows[0].path, UploadVariant::Viewer, m_offsetMode,
                      WriteView{m_progress});
}

void HistoryWindow::openBackup()
{
    const QVector<BackupRow> rows = selectedRows();
    if (rows.size() != 1) return;
    auto* viewer = new ViewerWindow(m_link, m_dialogs, m_offsetMode, rows[0].path, this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->load();
}

void HistoryWindow::changeFolder()
{
    FileDialog dialog;
    dialog.title = QStringLiteral("Backups Folder");
    WriteSafety safety = m_link.writeSafety();
    dialog.directory = safety.backupFolder;
    const std::optional<QString> chosen = m_dialogs.folderName(this, dialog);
    if (!chosen || chosen->isEmpty()) return;
    safety.backupFolder = *chosen;
    m_link.setWriteSafety(safety);
    refresh();
}

} // namespace kaldor
