#pragma once
// "New from Tank Shape": the tank's shape (vertical or horizontal cylinder with its bottom or
// heads, sphere, box), its dimensions in one length unit beside a drawing of the shape labelled
// with them, the volume unit and the rest of a curve dialog (curvesourcedialog.h).

#include "curves/curvesourcedialog.h"
#include "curves/tankshape.h"

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;

namespace kaldor {

// The shape seen from the side, each dimension drawn as a measure with its value, and the
// level zero and the top of the level span as dashed lines. A shape the model refuses is drawn
// as its outline alone, without measures.
class ShapeDrawing : public QWidget {
    Q_OBJECT
public:
    explicit ShapeDrawing(QWidget* parent = nullptr);
    void setShape(const TankShape& shape, const LevelRange& range);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TankShape m_shape;
    LevelRange m_range;
};

class ShapeDialog : public CurveSourceDialog {
    Q_OBJECT
public:
    ShapeDialog(bool offsetCapable, QWidget* parent);
    QString sourceText() const override;
    // The shape as the dialog's values stand.
    TankShape shape() const;

protected:
    FitJob fitJob(const LevelRange& range, double scale,
                  const PointRequest& request) const override;

private:
    // Shows the dimensions the chosen kind and end take, with their names.
    void kindChanged();

    QComboBox* m_kind = nullptr;
    QComboBox* m_end = nullptr;
    QComboBox* m_unit = nullptr;
    QComboBox* m_volumeUnit = nullptr;
    QDoubleSpinBox* m_diameter = nullptr;
    QDoubleSpinBox* m_length = nullptr;
    QDoubleSpinBox* m_height = nullptr;
    QDoubleSpinBox* m_width = nullptr;
    QDoubleSpinBox* m_endDepth = nullptr;
    QDoubleSpinBox* m_crown = nullptr;
    QDoubleSpinBox* m_knuckle = nullptr;
    QFormLayout* m_form = nullptr;
    ShapeDrawing* m_drawing = nullptr;
};

} // namespace kaldor
