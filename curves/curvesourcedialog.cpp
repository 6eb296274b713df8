#include "curves/curvesourcedialog.h"

#include "curves/curvepreview.h"
#include "curves/curvesource.h"
#include "curves/tankshape.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kaldor {

namespace {

constexpr double kLargest = 1e9;
constexpr double kDefaultMaxError = 1;

} // namespace

QDoubleSpinBox* CurveSourceDialog::numberBox(QWidget* parent, const char* name, double lo,
                                             double value, int decimals)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(decimals);
    box->setRange(lo, kLargest);
    box->setValue(value);
    return box;
}

CurveSourceDialog::CurveSourceDialog(bool offsetCapable, QWidget* parent)
    : QDialog(parent), m_offsetCapable(offsetCapable)
{
    m_post.setSingleShot(true);
    m_post.setInterval(0);
    connect(&m_post, &QTimer::timeout, this, &CurveSourceDialog::post);
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("curve"));
    m_thread.start();
}

CurveSourceDialog::~CurveSourceDialog()
{
    // The job being made stops at its next look, and no other starts.
    ++*m_generation;
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void CurveSourceDialog::setUp(QWidget* source)
{
    auto* common = new QWidget(this);
    m_commonForm = new QFormLayout(common);
    m_commonForm->setContentsMargins(0, 0, 0, 0);
    m_zero = numberBox(common, "levelZero", -kLargest, 0, 3);
    m_span = numberBox(common, "levelSpan", 0, 0, 3);
    m_span->setSpecialValueText(QStringLiteral("full height"));
    m_scale = numberBox(common, "scale", 1e-4, 1, 4);
    m_commonForm->addRow(QStringLiteral("Level &zero:"), m_zero);
    m_commonForm->addRow(QStringLiteral("Level s&pan:"), m_span);
    m_commonForm->addRow(QStringLiteral("S&cale (units per volume unit):"), m_scale);

    m_byCount = new QRadioButton(QStringLiteral("&Number of points:"), common);
    m_byCount->setObjectName(QStringLiteral("byCount"));
    m_byCount->setChecked(true);
    m_count = new QSpinBox(common);
    m_count->setObjectName(QStringLiteral("pointCount"));
    m_count->setRange(2, CurveTable::kRows);
    m_count->setValue(kDefaultCurvePoints);
    m_byError = new QRadioButton(QStringLiteral("Fewest points within &error:"), common);
    m_byError->setObjectName(QStringLiteral("byError"));
    m_maxError = numberBox(common, "maxError", 0.01, kDefaultMaxError, 2);
    m_maxError->setSuffix(QStringLiteral(" units"));
    m_commonForm->addRow(m_byCount, m_count);
    m_commonForm->addRow(m_byError, m_maxError);

    m_preview = new CurvePreview(this);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CurveSourceDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(source);
    left->addWidget(common);
    left->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(m_preview, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(m_buttons);

    for (QDoubleSpinBox* box : {m_zero, m_span, m_scale, m_maxError})
        connect(box, &QDoubleSpinBox::valueChanged, this, &CurveSourceDialog::changed);
    connect(m_count, &QSpinBox::valueChanged, this, &CurveSourceDialog::changed);
    connect(m_byCount, &QRadioButton::toggled, this, &CurveSourceDialog::changed);
}

void CurveSourceDialog::changed()
{
    recompute();
    emit valuesChanged();
}

double CurveSourceDialog::scale() const
{
    return m_scale->value();
}

void CurveSourceDialog::setScale(double scale)
{
    m_scale->setValue(scale);
}

LevelRange CurveSourceDialog::levelRange() const
{
    LevelRange range;
    if (m_commonForm->isRowVisible(m_zero)) {
        range.zero = m_zero->value();
        if (m_span->value() > 0) range.span = m_span->value();
    }
    return range;
}

void CurveSourceDialog::setLevelUnit(const QString& unit)
{
    for (QDoubleSpinBox* box : {m_zero, m_span}) {
        box->setSuffix(unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
        m_commonForm->setRowVisible(box, !unit.isEmpty());
    }
}

void CurveSourceDialog::recompute()
{
    ++*m_generation;
    m_acceptWhenMade = false;
    m_preview->showComputing();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(true);
    m_post.start();
}

bool CurveSourceDialog::computing() const
{
    return m_fitGeneration != *m_generation;
}

CurveSourceDialog::FitJob CurveSourceDialog::currentJob() const
{
    const PointRequest request = m_byCount->isChecked()
                                     ? PointRequest::points(m_count->value())
                                     : PointRequest::maxError(m_maxError->value());
    return fitJob(levelRange(), m_scale->value(), request);
}

void CurveSourceDialog::post()
{
    if (!computing()) return;
    const quint64 generation = *m_generation;
    QMetaObject::invokeMethod(
        m_worker,
        [this, job = currentJob(), wanted = m_generation, generation] {
            const StopCheck stale = [&] { return *wanted != generation; };
            if (stale()) return; // a newer job follows
            const CurveFit fit = job(stale);
            // The dialog waits for this thread before it goes, so it is there to post to.
            if (!stale())
                QMetaObject::invokeMethod(
                    this, [this, generation, fit] { showResult(generation, fit); },
                    Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CurveSourceDialog::showResult(quint64 generation, const CurveFit& fit)
{
    if (generation != *m_generation || !computing()) return;
    m_post.stop();
    m_fit = fit;
    m_fitGeneration = generation;
    m_preview->showFit(m_fit);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_fit.ok());
    emit curveShown();
    if (m_acceptWhenMade) {
        m_acceptWhenMade = false;
        if (m_fit.ok()) QDialog::accept();
    }
}

const CurveFit& CurveSourceDialog::fit()
{
    if (computing()) showResult(*m_generation, currentJob()({}));
    return m_fit;
}

void CurveSourceDialog::accept()
{
    if (computing()) {
        m_acceptWhenMade = true; // taken up when the curve is made
        return;
    }
    if (m_fit.ok()) QDialog::accept();
}

TableDialog::TableDialog(const StrappingTable& table, const QString& fileName, bool offsetCapable,
                         QWidget* parent)
    : CurveSourceDialog(offsetCapable, parent), m_table(table), m_fileName(fileName)
{
    setObjectName(QStringLiteral("tabledlg"));
    setWindowTitle(QStringLiteral("Import Strapping Table"));
    auto* source =
        new QGroupBox(QStringLiteral("%1: %2 rows").arg(fileName).arg(table.rows.size()), this);
    auto* form = new QFormLayout(source);
    m_levelUnit = new QComboBox(source);
    m_levelUnit->setObjectName(QStringLiteral("levelUnit"));
    m_levelUnit->addItem(QStringLiteral("percent"));
    m_levelUnit->addItems(lengthUnitNames());
    form->addRow(QStringLiteral("&Level column in:"), m_levelUnit);
    // The unit the header names is the choice until the user makes another, and says so.
    m_headerUnit = new QLabel(headerUnitText(table), source);
    m_headerUnit->setObjectName(QStringLiteral("headerUnit"));
    m_headerUnit->setWordWrap(true);
    form->addRow(m_headerUnit);
    if (!table.levelUnit.isEmpty())
        m_levelUnit->setCurrentIndex(std::max(0, m_levelUnit->findText(table.levelUnit)));
    setUp(source);
    const auto unitChosen = [this] {
        setLevelUnit(levelsInPercent() ? QString() : m_levelUnit->currentText());
        m_headerUnit->setVisible(!m_table.levelUnit.isEmpty() &&
                                 m_levelUnit->currentText() == m_table.levelUnit);
    };
    unitChosen();
    connect(m_levelUnit, &QComboBox::currentIndexChanged, this, [this, unitChosen] {
        unitChosen();
        changed();
    });
    recompute();
}

bool TableDialog::levelsInPercent() const
{
    return m_levelUnit->currentIndex() == 0;
}

CurveSourceDialog::FitJob TableDialog::fitJob(const LevelRange& range, double scale,
                                              const PointRequest& request) const
{
    return [table = m_table, percent = levelsInPercent(), range, scale, request,
            offsetCapable = m_offsetCapable](const StopCheck& stop) {
        return curveFromTable(table, percent, range, scale, request, offsetCapable, stop);
    };
}

QString TableDialog::sourceText() const
{
    QString text = QStringLiteral("strapping table %1 (%2 rows, levels in %3")
                       .arg(m_fileName)
                       .arg(m_table.rows.size())
                       .arg(m_levelUnit->currentText());
    return text + QLatin1Char(')');
}

} // namespace kaldor
