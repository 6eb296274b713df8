#pragma once
// Help > "&About": the program's name, version, description and notice.

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;

namespace kaldor {

// "Version " and major.minor.revision of a version text, each a plain number: "1.0.2.7"
// and "01.0.2" both give "Version 1.0.2".
QString versionText(const QString& version);

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    // How Label1's address is opened; QDesktopServices::openUrl unless a test replaces it.
    void setUrlOpener(std::function<void(const QUrl&)> opener) { m_openUrl = std::move(opener); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_address = nullptr;
    std::function<void(const QUrl&)> m_openUrl;
};

} // namespace kaldor
