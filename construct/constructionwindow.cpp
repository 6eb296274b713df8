#include "construct/constructionwindow.h"

#include <QCloseEvent>

namespace kaldor
{

ConstructionWindow::ConstructionWindow(Link&, Dialogs&, bool offsetMode, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("constr"));
    setWindowTitle(
        offsetMode
            ? QStringLiteral("Construct Indicator File from Tank Files (Meter Offset Capable)")
            : QStringLiteral(
                  "Construct Indicator File from Tank Files (Meter Not Offset Capable)"));
}

void ConstructionWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit closed();
}

} // namespace kaldor
