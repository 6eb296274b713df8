#pragma once
// Help > "&Contents": the program's manual, kept in the program's resources, in a browser
// window of its own.

#include <QWidget>

class QTextBrowser;

namespace kaldor {

inline const QString kManualResource = QStringLiteral(":/help/manual.html");

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Loads the manual from source; false when there is none to show.
    bool load(const QString& source = kManualResource);

private:
    QTextBrowser* m_browser = nullptr;
};

} // namespace kaldor
