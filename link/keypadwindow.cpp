#include "link/keypadwindow.h"

#include "link/link.h"
#include "ui/dialogs.h"
#include "ui/escapecloses.h"
#include "ui/showmessages.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace kaldor {

namespace {

constexpr int kPictureWidth = 125;
constexpr int kPictureHeight = 53;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 96;

// The window's artwork: the meter's front with its display.
QPixmap meterPicture()
{
    QPixmap pixmap(kPictureWidth, kPictureHeight);
    pixmap.fill(QColor(0x3c, 0x44, 0x4c));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x9a, 0xa4, 0xae), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2, 2, kPictureWidth - 4, kPictureHeight - 4), 4, 4);
    const QRectF display(10, 8, 105, 28);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x12, 0x16, 0x12));
    p.drawRect(display);
    QFont digits(QStringLiteral("Monospace"));
    digits.setStyleHint(QFont::Monospace);
    digits.setPixelSize(20);
    digits.setBold(true);
    p.setFont(digits);
    p.setPen(QColor(0xf0, 0x40, 0x30));
    p.drawText(display, Qt::AlignCenter, QStringLiteral("PrOG"));
    QFont small = digits;
    small.setPixelSize(9);
    small.setBold(false);
    p.setFont(small);
    p.setPen(QColor(0xdd, 0xe2, 0xe6));
    p.drawText(QRectF(10, 38, 105, 12), Qt::AlignCenter, QStringLiteral("KALDOR"));
    return pixmap;
}

QIcon keypadIcon()
{
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x26, 0x3a, 0x4f), 2));
    p.setBrush(QColor(0xe8, 0xee, 0xf2));
    p.drawRoundedRect(QRectF(4, 2, 24, 28), 3, 3);
    p.setBrush(QColor(0x2f, 0x80, 0xc8));
    for (int row = 0; row < 3; ++row)
        p.drawRect(QRectF(9, 6 + row * 8, 14, 5));
    return QIcon(pixmap);
}

QPushButton* keyButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFixedWidth(kButtonWidth);
    b->setAutoDefault(false);
    return b;
}

} // namespace

KeypadWindow::KeypadWindow(Link& link, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Cali"));
    setWindowTitle(QStringLiteral("Program and Calibrate"));
    closeOnEscape(this);
    setWindowIcon(keypadIcon());

    auto* outer = new QFrame(this);
    outer->setObjectName(QStringLiteral("Shape1"));
    outer->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* picture = new QLabel(outer);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(meterPicture());
    picture->setFixedSize(kPictureWidth, kPictureHeight);

    auto* keys = new QFrame(outer);
    keys->setObjectName(QStringLiteral("Shape2"));
    keys->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* up = keyButton("Command1", QStringLiteral("UP"), keys);
    auto* down = keyButton("Command2", QStringLiteral("DOWN"), keys);
    auto* set = keyButton("Command3", QStringLiteral("SET"), keys);
    auto* keyLayout = new QVBoxLayout(keys);
    for (QPushButton* b : {up, down, set})
        keyLayout->addWidget(b, 0, Qt::AlignLeft);

    auto* outerLayout = new QVBoxLayout(outer);
    outerLayout->addWidget(picture, 0, Qt::AlignHCenter);
    outerLayout->addWidget(keys, 0, Qt::AlignHCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(outer);

    connect(up, &QPushButton::clicked, this, [this] { press(KeypadKey::Up); });
    connect(down, &QPushButton::clicked, this, [this] { press(KeypadKey::Down); });
    connect(set, &QPushButton::clicked, this, [this] { press(KeypadKey::Set); });
    setFixedSize(sizeHint());
}

// Opening the window drops what waits at the port and puts the meter into programming mode.
void KeypadWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_opened) return;
    m_opened = true;
    press(KeypadKey::Program, true);
}

void KeypadWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit closed();
}

// A key pressed while the previous one is still being written waits its turn; the meter gets
// every key, in order. While another window's exchange runs the key is refused.
void KeypadWindow::press(KeypadKey key, bool discardFirst)
{
    if (m_waiting) {
        m_queued.append(key);
        return;
    }
    if (m_link.pressKey(this, key, discardFirst, [this](const ExchangeResult& r) { keySent(r); }))
        m_waiting = true;
    else
        m_dialogs.message(this, Link::kBusyMessage);
}

void KeypadWindow::keySent(const ExchangeResult& result)
{
    m_waiting = false;
    if (!result.done())
        m_queued.clear(); // the line failed: the keys pressed meanwhile would fail too
    showMessages(m_dialogs, this, keypadMessages(result));
    if (!m_queued.isEmpty()) press(m_queued.takeFirst());
}

} // namespace kaldor
