#include "editor/tanknumberprompt.h"

#include "store/tankfile.h"
#include "ui/dialogs.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStackedLayout>

namespace kaldor {

namespace {

const QString kPrompt = QStringLiteral("Enter Tank Address\r\nand press the Enter Key");

// The waiting entry: a thick frame in the highlight colour and a bold number.
const QString kEntryStyle = QStringLiteral(
    "QLineEdit { border: 2px solid palette(highlight); border-radius: 3px; padding: 2px; "
    "font-weight: bold; }");

void keepPlace(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->setVisible(false);
}

bool isEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TankNumberPrompt::TankNumberPrompt(Dialogs& dialogs, QWidget* parent)
    : QFrame(parent), m_dialogs(dialogs)
{
    m_prompt = new QLabel(kPrompt, this);
    m_prompt->setObjectName(QStringLiteral("Label2"));
    QFont bold = m_prompt->font();
    bold.setBold(true);
    m_prompt->setFont(bold);
    // The two entries share one place, shown one at a time.
    m_entries = new QWidget(this);
    auto* entries = new QStackedLayout(m_entries);
    m_sendEntry = new QLineEdit(m_entries);
    m_sendEntry->setObjectName(QStringLiteral("text2"));
    m_saveEntry = new QLineEdit(m_entries);
    m_saveEntry->setObjectName(QStringLiteral("Text3"));
    for (QLineEdit* entry : {m_sendEntry, m_saveEntry}) {
        entry->installEventFilter(this);
        entry->setStyleSheet(kEntryStyle);
        entries->addWidget(entry);
    }
    m_entries->setFixedWidth(
        m_sendEntry->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_prompt);
    layout->addWidget(m_entries);
    layout->addStretch(1);
    keepPlace(m_prompt);
    keepPlace(m_entries);
    m_sendEntry->setVisible(false);
    m_saveEntry->setVisible(false);
}

void TankNumberPrompt::resetPromptText()
{
    m_prompt->setText(kPrompt);
}

void TankNumberPrompt::ask(Entry entry, const QString& known)
{
    QLineEdit* other = entryFor(entry == Entry::Send ? Entry::Save : Entry::Send);
    other->setVisible(false);
    other->clear();
    QLineEdit* shown = entryFor(entry);
    shown->setText(known);
    shown->selectAll();
    static_cast<QStackedLayout*>(m_entries->layout())->setCurrentWidget(shown);
    shown->setVisible(true);
    m_entries->setVisible(true);
    m_prompt->setVisible(true);
    shown->setFocus();
}

void TankNumberPrompt::dismiss()
{
    for (QLineEdit* entry : {m_sendEntry, m_saveEntry}) {
        entry->setVisible(false);
        entry->clear();
    }
    m_entries->setVisible(false);
    m_prompt->setVisible(false);
}

bool TankNumberPrompt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_sendEntry && watched != m_saveEntry)
        return QFrame::eventFilter(watched, event);
    // Label1 and the tank number follow Text3 as it reads before the key.
    if (watched == m_saveEntry && event->type() == QEvent::KeyPress)
        emit saveKeyPressed(m_saveEntry->text());
    if (!isEnter(event)) return QFrame::eventFilter(watched, event);
    auto* entry = static_cast<QLineEdit*>(watched);
    const QString text = entry->text();
    if (!isTankNumberText(text)) {
        entry->clear();
        m_dialogs.message(window(), kTankNumberRefusal);
        return true;
    }
    emit entered(entry == m_sendEntry ? Entry::Send : Entry::Save, text);
    return true;
}

} // namespace kaldor
