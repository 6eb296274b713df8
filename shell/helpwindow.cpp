#include "shell/helpwindow.h"

#include "ui/escapecloses.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace kaldor {

namespace {
constexpr int kWidth = 720;
constexpr int kHeight = 640;
} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("KALDOR Help"));
    closeOnEscape(this);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(kWidth, kHeight);
}

bool HelpWindow::load(const QString& source)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray html = file.readAll();
    if (html.isEmpty()) return false;
    m_browser->setHtml(QString::fromUtf8(html));
    return true;
}

} // namespace kaldor
