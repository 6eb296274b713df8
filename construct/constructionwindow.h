#pragma once
// The constr window, "Construct Indicator File from Tank Files": opened from the indicator file
// management window, which it hands control back to when it closes.

#include <QWidget>

namespace kaldor
{

class Dialogs;
class Link;

class ConstructionWindow : public QWidget
{
    Q_OBJECT
public:
    ConstructionWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent = nullptr);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace kaldor
