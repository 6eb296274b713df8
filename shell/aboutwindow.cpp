#include "shell/aboutwindow.h"

#include "shell/buildinfo.h"
#include "ui/appicon.h"
#include "ui/dialogs.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace kaldor {

namespace {

constexpr int kIconSize = 48;

QFrame* line(QWidget* parent)
{
    auto* l = new QFrame(parent);
    l->setObjectName(QStringLiteral("Line1"));
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

} // namespace

QString versionText(const QString& version)
{
    const QVersionNumber v = QVersionNumber::fromString(version);
    return QStringLiteral("Version %1.%2.%3")
        .arg(v.majorVersion())
        .arg(v.minorVersion())
        .arg(v.microVersion());
}

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent), m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    setWindowTitle(QStringLiteral("About ") + kApplicationTitle);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(appIconPixmap(kIconSize));
    icon->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(kApplicationTitle, this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);

    auto* version = new QLabel(versionText(QStringLiteral(KALDOR_VERSION)), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* description = new QLabel(QStringLiteral(KALDOR_DESCRIPTION), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    auto* disclaimer = new QLabel(QStringLiteral(KALDOR_NOTICE), this);
    disclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    disclaimer->setWordWrap(true);
    auto* document = new QLabel(QStringLiteral(KALDOR_DOCUMENT), this);
    document->setObjectName(QStringLiteral("Label2"));

    m_address = new QLabel(QStringLiteral(KALDOR_WEBSITE), this);
    m_address->setObjectName(QStringLiteral("Label1"));
    m_address->setCursor(Qt::PointingHandCursor);
    QPalette linkColours = m_address->palette();
    linkColours.setColor(QPalette::WindowText, linkColours.color(QPalette::Link));
    m_address->setPalette(linkColours);
    QFont underlined = m_address->font();
    underlined.setUnderline(true);
    m_address->setFont(underlined);
    m_address->installEventFilter(this);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addWidget(description);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);

    auto* bottom = new QHBoxLayout;
    auto* references = new QVBoxLayout;
    references->addWidget(document);
    references->addWidget(m_address);
    bottom->addLayout(references, 1);
    bottom->addWidget(ok, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line(this));
    layout->addWidget(disclaimer);
    layout->addWidget(line(this));
    layout->addLayout(bottom);
    setFixedWidth(sizeHint().width() + kIconSize);
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_address && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        m_openUrl(QUrl(m_address->text()));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kaldor
