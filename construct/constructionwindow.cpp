#include "construct/constructionwindow.h"

#include "construct/constructedsave.h"
#include "link/link.h"
#include "store/fileextensions.h"
#include "store/inputfile.h"
#include "store/offsetmode.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"
#include "ui/showmessages.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace kaldor {

namespace {

const QString kTankPattern = QStringLiteral("*.tnk");
const QString kNothingSelected = QStringLiteral("Nothing selected.");
constexpr int kListWidth = 200;
constexpr int kListHeight = 260;

const QString kCaption = QStringLiteral("Construct Indicator File from Tank Files");

// A file the file list would show: a file whose name matches "*.tnk", in either case as the
// list matches it.
bool isListedTankFile(const QFileInfo& info)
{
    return info.isFile() && QDir::match(kTankPattern, info.fileName());
}

bool sameDirectory(const QString& a, const QString& b)
{
    return QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath();
}

QLabel* heading(const char* name, const QString& caption, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

ConstructionWindow::ConstructionWindow(Link& link, Dialogs& dialogs, bool offsetMode,
                                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_offsetMode(offsetMode)
{
    setObjectName(QStringLiteral("constr"));
    setWindowTitle(titleFor(kCaption, offsetMode));
    buildControls();

    // The directory list starts at the current directory and the file list with it.
    showDirectory(QDir::currentPath());
    const QModelIndex start = m_dirModel->index(m_directory);
    m_dirList->setCurrentIndex(start);
    m_dirList->expand(start);
    m_dirList->scrollTo(start);
    connect(m_dirList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) showDirectory(m_dirModel->filePath(current));
            });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { listTankFiles(); });
    // The model reads and sorts directories in the background, so the shown directory moves
    // while its parents fill in: keep it in view until the user scrolls or clicks the list.
    const auto keepInView = [this] {
        if (m_keepDirectoryInView) m_dirList->scrollTo(m_dirList->currentIndex());
    };
    connect(m_dirModel, &QFileSystemModel::directoryLoaded, this, keepInView);
    connect(m_dirModel, &QFileSystemModel::layoutChanged, this, keepInView);
    connect(m_dirModel, &QFileSystemModel::rowsInserted, this, keepInView);
    connect(m_dirList->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { m_keepDirectoryInView = false; });
}

void ConstructionWindow::buildControls()
{
    m_dirModel = new QFileSystemModel(this);
    m_dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_dirModel->setReadOnly(true);
    m_dirModel->setRootPath(QDir::rootPath());

    m_dirList = new QTreeView(this);
    m_dirList->setObjectName(QStringLiteral("Dir1"));
    m_dirList->setModel(m_dirModel);
    for (int column = 1; column < m_dirModel->columnCount(); ++column)
        m_dirList->hideColumn(column);
    m_dirList->setHeaderHidden(true);
    m_dirList->setSortingEnabled(true);
    m_dirList->sortByColumn(0, Qt::AscendingOrder);
    m_dirList->setMinimumSize(kListWidth, kListHeight);
    m_dirList->viewport()->installEventFilter(this);

    m_fileList = new QListWidget(this);
    m_fileList->setObjectName(QStringLiteral("File1"));
    m_fileList->setUniformItemSizes(true);
    m_fileList->setMinimumSize(kListWidth, kListHeight);

    m_chosen = new QListWidget(this);
    m_chosen->setObjectName(QStringLiteral("List1"));
    m_chosen->setMinimumSize(kListWidth, kListHeight);
    // Tank files dragged from the desktop's file manager.
    m_chosen->setAcceptDrops(true);
    m_chosen->viewport()->setAcceptDrops(true);
    m_chosen->viewport()->installEventFilter(this);

    auto* add = button("Command1", QStringLiteral("Add a Tank"), this);
    auto* remove = button("Command2", QStringLiteral("Remove a Tank"), this);
    auto* save = button("Command3", QStringLiteral("Save Indicator File"), this);
    auto* build = button("Command4", QStringLiteral("Build Indicator File"), this);
    auto* send = button("Command5", QStringLiteral("Send Indicator File"), this);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbConstr"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setVisible(false);

    auto* listButtons = new QVBoxLayout;
    listButtons->addStretch();
    listButtons->addWidget(add);
    listButtons->addWidget(remove);
    listButtons->addStretch();

    auto* grid = new QGridLayout;
    grid->addWidget(heading("Label3", QStringLiteral("Directory"), this), 0, 0);
    grid->addWidget(heading("Label1", QStringLiteral("Choose tank"), this), 0, 1);
    grid->addWidget(heading("Label2", QStringLiteral("Build indicator list"), this), 0, 3);
    grid->addWidget(m_dirList, 1, 0);
    grid->addWidget(m_fileList, 1, 1);
    grid->addLayout(listButtons, 1, 2);
    grid->addWidget(m_chosen, 1, 3);

    auto* fileButtons = new QHBoxLayout;
    fileButtons->addStretch();
    for (QPushButton* b : {build, save, send})
        fileButtons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(fileButtons);
    layout->addWidget(m_progress);

    connect(add, &QPushButton::clicked, this, &ConstructionWindow::addSelectedTank);
    connect(m_fileList, &QListWidget::itemDoubleClicked, this,
            &ConstructionWindow::addSelectedTank);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelectedTank(true); });
    connect(m_chosen, &QListWidget::itemDoubleClicked, this, [this] { removeSelectedTank(false); });
    connect(build, &QPushButton::clicked, this, &ConstructionWindow::buildIndicatorFile);
    connect(save, &QPushButton::clicked, this, &ConstructionWindow::saveIndicatorFile);
    connect(send, &QPushButton::clicked, this, &ConstructionWindow::sendIndicatorFile);
}

QStringList ConstructionWindow::chosenTanks() const
{
    QStringList names;
    names.reserve(m_chosen->count());
    for (int row = 0; row < m_chosen->count(); ++row)
        names.append(m_chosen->item(row)->text());
    return names;
}

void ConstructionWindow::closeEvent(QCloseEvent* event)
{
    // The list and the build belong to this opening of the window.
    m_chosen->clear();
    m_state = BuildState{};
    QWidget::closeEvent(event);
    emit closed();
}

// The directory list moved: the current directory goes with it, and the file list shows the
// tank files there. A directory that cannot be entered leaves both where they were.
void ConstructionWindow::showDirectory(const QString& path)
{
    if (!m_directory.isEmpty() && sameDirectory(path, m_directory) &&
        QDir::currentPath() == m_directory)
        return;
    if (!QDir::setCurrent(path)) {
        m_dialogs.message(
            this, fileRefusal(QDir::toNativeSeparators(path),
                              QStringLiteral("the directory cannot be entered; the tank files "
                                             "stay those of %1.")
                                  .arg(QDir::toNativeSeparators(m_directory))));
        if (!m_directory.isEmpty()) m_dirList->setCurrentIndex(m_dirModel->index(m_directory));
        return;
    }
    m_directory = QDir::currentPath();
    if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
    m_watcher.addPath(m_directory);
    m_fileList->clear();
    listTankFiles();
}

// Lists the tank files of the shown directory again, keeping the selection on a file that is
// still there.
void ConstructionWindow::listTankFiles()
{
    QSet<QString> selected;
    for (const QListWidgetItem* item : m_fileList->selectedItems())
        selected.insert(item->text());
    const QStringList names =
        QDir(m_directory).entryList({kTankPattern}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    m_fileList->clear();
    m_fileList->addItems(names);
    if (selected.isEmpty()) return;
    for (int row = 0; row < m_fileList->count(); ++row) {
        if (selected.contains(m_fileList->item(row)->text()))
            m_fileList->item(row)->setSelected(true);
    }
}

void ConstructionWindow::addSelectedTank()
{
    const QList<QListWidgetItem*> selected = m_fileList->selectedItems();
    if (selected.isEmpty()) {
        m_dialogs.message(this, kNothingSelected);
        return;
    }
    if (addTank(selected.constFirst()->text())) m_fileList->clearSelection();
}

// A tank is its file name, compared as exact text: the same name from another directory is the
// same tank, and two names holding the same tank number are two tanks.
bool ConstructionWindow::addTank(const QString& name)
{
    if (chosenTanks().contains(name, Qt::CaseSensitive)) {
        m_dialogs.message(this, QStringLiteral("Tank already in."));
        return false;
    }
    m_chosen->addItem(name);
    return true;
}

void ConstructionWindow::removeSelectedTank(bool sayWhenNone)
{
    const QList<QListWidgetItem*> selected = m_chosen->selectedItems();
    if (!selected.isEmpty())
        delete m_chosen->takeItem(m_chosen->row(selected.constFirst()));
    else if (sayWhenNone)
        m_dialogs.message(this, kNothingSelected);
    m_chosen->clearSelection();
}

bool ConstructionWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_dirList->viewport()) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel)
            m_keepDirectoryInView = false;
        return QWidget::eventFilter(watched, event);
    }
    if (watched != m_chosen->viewport()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const QMimeData* data = drag->mimeData();
        if (data && data->hasUrls())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData() || !drop->mimeData()->hasUrls()) return false;
        drop->acceptProposedAction();
        addDroppedFiles(drop->mimeData()->urls());
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

// Dropped files join the list by the rules of "Add a Tank". The list holds names that the build
// opens in the shown directory, so a file is taken from that directory only: while the list is
// empty the directory list first moves to the dropped file's directory; later a file from
// elsewhere is refused with its name.
void ConstructionWindow::addDroppedFiles(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
        const QFileInfo info(path);
        if (!url.isLocalFile() || !isListedTankFile(info)) {
            m_dialogs.message(
                this, fileRefusal(QDir::toNativeSeparators(path),
                                  QStringLiteral("not a tank file (*.tnk); it was not added.")));
            continue;
        }
        if (!sameDirectory(info.absolutePath(), m_directory) && m_chosen->count() == 0)
            m_dirList->setCurrentIndex(m_dirModel->index(info.absolutePath()));
        if (!sameDirectory(info.absolutePath(), m_directory)) {
            m_dialogs.message(
                this, fileRefusal(QDir::toNativeSeparators(path),
                                  QStringLiteral("the file lies outside the directory %1, where "
                                                 "the listed tanks are read; choose its "
                                                 "directory first.")
                                      .arg(QDir::toNativeSeparators(m_directory))));
            continue;
        }
        addTank(info.fileName());
    }
}

void ConstructionWindow::buildIndicatorFile()
{
    const BuildResult result =
        buildIndicatorImage(chosenTanks(), QDir::current(), m_offsetMode, m_state);
    showMessages(m_dialogs, this, result.messages);
}

void ConstructionWindow::saveIndicatorFile()
{
    const QStringList tanks = chosenTanks();
    if (!canSaveBuild(m_state, tanks)) {
        m_dialogs.message(this, kNotBuiltMessage);
        return;
    }
    FileDialog dialog;
    dialog.filter = QStringLiteral("Indicator (*.idr)");
    dialog.defaultSuffix = QStringLiteral("idr");
    dialog.confirmOverwrite = true;
    const std::optional<QString> path =
        askSaveFileName(m_dialogs, this, dialog, hasIndicatorExtension);
    if (!path) return; // cancelled: no message
    showMessages(m_dialogs, this, saveConstructedFile(*path, m_state, tanks, QDir::current()));
}

// The image of the last build goes to the meter; pbConstr follows every byte written.
void ConstructionWindow::sendIndicatorFile()
{
    if (!m_state.built) {
        m_dialogs.message(this, kNotBuiltMessage);
        return;
    }
    sendImage(m_link, m_dialogs, this, uploadSourceFromImage(m_state.image, m_state.totalLength),
              UploadVariant::Construction, m_offsetMode, WriteView{m_progress},
              [this](const SafeWrite&) {
                  m_progress->setValue(0);
                  return true;
              });
}

} // namespace kaldor
