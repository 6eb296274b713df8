#include "ui/escapecloses.h"

#include <QShortcut>
#include <QWidget>

namespace kaldor {

void closeOnEscape(QWidget* window)
{
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setObjectName(QStringLiteral("escapeCloses"));
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

} // namespace kaldor
