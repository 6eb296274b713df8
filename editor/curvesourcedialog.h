#pragma once
// The dialogs that make a curve from the tank itself, before it fills the editor's grid. Both
// ask the level range the percentage covers, the scale, and N points or the largest error
// allowed, and show a live preview of the curve and its error; OK is open only while the
// preview holds a curve. The shape dialog adds the tank's shape (shapedialog.h); the table
// dialog the unit of a strapping table's levels. Each change is taken up after a short pause,
// so that typing a number computes the curve once.

#include "editor/curvefit.h"

#include <QDialog>
#include <QTimer>

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace kaldor
{

class CurvePreview;

class CurveSourceDialog : public QDialog
{
    Q_OBJECT
public:
    // The curve as the dialog's values stand now (a pending change is taken up first).
    const CurveFit& fit();
    // Where the curve comes from, for the graph and the calibration sheet.
    virtual QString sourceText() const = 0;

    void accept() override;

signals:
    // A value changed; the curve follows after the pause.
    void valuesChanged();

protected:
    CurveSourceDialog(bool offsetCapable, QWidget* parent);

    // Lays the dialog out: the source's own form on the left above the level, value and point
    // rows, the preview on the right, OK and Cancel below. Called once by the dialog's
    // constructor when its own widgets are made; recompute then draws the first preview.
    void setUp(QWidget* source);
    // Computes the curve and shows it now.
    void recompute();
    virtual CurveFit computeFit(const LevelRange& range, double scale,
                                const PointRequest& request) const = 0;
    // Every widget whose value changes the curve calls this.
    void changed();
    // The unit the level zero and span are given in ("mm"), or none when the level is a
    // percentage already (the range is then not asked).
    void setLevelUnit(const QString& unit);
    // The level range as the dialog's values stand; unset when the level is a percentage.
    LevelRange levelRange() const;
    double scale() const;
    void setScale(double scale);
    // A box for a number from lo up, with the given decimals.
    static QDoubleSpinBox* numberBox(QWidget* parent, const char* name, double lo, double value,
                                     int decimals);

    const bool m_offsetCapable;

private:
    QDoubleSpinBox* m_zero = nullptr;
    QDoubleSpinBox* m_span = nullptr;
    QDoubleSpinBox* m_scale = nullptr;
    QRadioButton* m_byCount = nullptr;
    QSpinBox* m_count = nullptr;
    QRadioButton* m_byError = nullptr;
    QDoubleSpinBox* m_maxError = nullptr;
    QFormLayout* m_commonForm = nullptr;
    CurvePreview* m_preview = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QTimer m_pause;
    CurveFit m_fit;
};

// A strapping table read from a file, made a curve: the unit of its level column (percent or
// a length unit, with the level zero and span in it; at first the unit the table's header
// names, when it names one, with a line saying so), its scale and N or E.
class TableDialog : public CurveSourceDialog
{
    Q_OBJECT
public:
    TableDialog(const StrappingTable& table, const QString& fileName, bool offsetCapable,
                QWidget* parent);
    QString sourceText() const override;

protected:
    CurveFit computeFit(const LevelRange& range, double scale,
                        const PointRequest& request) const override;

private:
    bool levelsInPercent() const;

    StrappingTable m_table;
    QString m_fileName;
    QComboBox* m_levelUnit = nullptr;
    QLabel* m_headerUnit = nullptr;
};

} // namespace kaldor
