#pragma once
// The main window's level gauge: a vertical column filled to its value, 1 to 100.

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

} // namespace kaldor
