#pragma once
// The main window's level gauge: a vertical column filled to its value, 1 to 100.

#include <QHash>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace kaldor {

class Gauge : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimum = 1;
    static constexpr int kMaximum = 100;
    static constexpr int kFrame = 2; // the border around the bar

    explicit Gauge(QWidget* parent = nullptr);

    int value() const { return m_value; }
    void setValue(int value);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect innerRect() const;
    // The first row of the bar filled to `value`.
    int levelTop(int value) const;

    int m_value = kMinimum;
};

// The gauge's value as text beneath it. The number changes with every step of the gauge, and a
// label lays out and shapes its text again at every paint; this one draws each text once into a
// picture and afterwards only copies the picture. Its size is fixed: the text never moves the
// layout.
class GaugeLabel : public QLabel {
    Q_OBJECT
public:
    explicit GaugeLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QHash<QString, QPixmap> m_pictures; // at most one a gauge value
};

} // namespace kaldor
