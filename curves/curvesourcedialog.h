#pragma once
// The dialogs that make a curve from the tank itself, before it fills the editor's grid. Both
// ask the level range the percentage covers, the scale, and N points or the largest error
// allowed, and show a live preview of the curve and its error. The shape dialog adds the tank's
// shape (shapedialog.h); the table dialog the unit of a strapping table's levels.
//
// The preview follows the form at once: a change makes it say that it is working out the curve,
// and the curve is made on a worker thread, so that the window takes every key and click
// meanwhile. Each change stops the curve it makes out of date; a curve made for values that no
// longer stand is never shown. OK is open while the preview holds a curve or works one out; OK
// pressed while it works takes the curve once it is made, or stays with its refusal.

#include "curves/curvefit.h"

#include <QDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace kaldor {

class CurvePreview;

class CurveSourceDialog : public QDialog {
    Q_OBJECT
public:
    ~CurveSourceDialog() override;

    // The curve as the dialog's values stand now: while the preview works it out, it is made
    // here at once and shown.
    const CurveFit& fit();
    // True while the preview works out the curve for the values as they stand.
    bool computing() const;
    // Where the curve comes from, for the graph and the calibration sheet.
    virtual QString sourceText() const = 0;

    void accept() override;

signals:
    // A value changed; the preview says that it works out the curve.
    void valuesChanged();
    // The preview shows the curve made for the values as they stand, or its refusal.
    void curveShown();

protected:
    CurveSourceDialog(bool offsetCapable, QWidget* parent);

    // Lays the dialog out: the source's own form on the left above the level, value and point
    // rows, the preview on the right, OK and Cancel below. Called once by the dialog's
    // constructor when its own widgets are made; recompute then starts the first preview.
    void setUp(QWidget* source);
    // Starts the curve for the values as they stand, out of date any that is being made.
    void recompute();
    // The making of the curve from the values as they stand now, to run on the worker thread:
    // it holds copies of what it needs and reads no widget.
    using FitJob = std::function<CurveFit(const StopCheck&)>;
    virtual FitJob fitJob(const LevelRange& range, double scale,
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
    FitJob currentJob() const;
    // Hands the job for the values as they stand to the worker thread.
    void post();
    // A curve made on the worker thread, shown only when its values still stand.
    void showResult(quint64 generation, const CurveFit& fit);

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
    // Bumped by each change; a job made for another generation stops and its curve is dropped.
    std::shared_ptr<std::atomic<quint64>> m_generation = std::make_shared<std::atomic<quint64>>(0);
    quint64 m_fitGeneration = 0; // the generation m_fit was made for
    bool m_acceptWhenMade = false;
    QTimer m_post; // a burst of changes in one pass of the event loop posts one job
    QThread m_thread;
    QObject* m_worker = nullptr; // lives in m_thread and runs the jobs in turn
    CurveFit m_fit;
};

// A strapping table read from a file, made a curve: the unit of its level column (percent or
// a length unit, with the level zero and span in it; at first the unit the table's header
// names, when it names one, with a line saying so), its scale and N or E.
class TableDialog : public CurveSourceDialog {
    Q_OBJECT
public:
    TableDialog(const StrappingTable& table, const QString& fileName, bool offsetCapable,
                QWidget* parent);
    QString sourceText() const override;

protected:
    FitJob fitJob(const LevelRange& range, double scale,
                  const PointRequest& request) const override;

private:
    bool levelsInPercent() const;

    StrappingTable m_table;
    QString m_fileName;
    QComboBox* m_levelUnit = nullptr;
    QLabel* m_headerUnit = nullptr;
};

} // namespace kaldor
