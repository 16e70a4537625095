#include "vostrel/dialog_bar.h"

#include "tools/altitude_brush.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>

#include <cstdlib>

namespace lnd {

namespace {

constexpr int kTimesInitial = 1;
constexpr int kRadiusInitial = 80;

QLabel* label(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setAccessibleName(text);
    return l;
}

QLineEdit* valueField(const QString& name, QWidget* parent) {
    auto* f = new QLineEdit(parent);
    f->setReadOnly(true);
    f->setFocusPolicy(Qt::NoFocus);
    f->setFixedWidth(36);
    f->setAccessibleName(name);
    return f;
}

QSlider* slider(const QString& name, int low, int high, QWidget* parent) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(low, high);
    s->setFixedWidth(120);
    s->setAccessibleName(name);
    return s;
}

}  // namespace

CDlgBar::CDlgBar(BrushStep& tool, QWidget* parent) : QWidget(parent), m_tool(tool) {
    setAccessibleName(QStringLiteral("Brush parameters"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    m_timesValue = valueField(QStringLiteral("Times value"), this);
    m_times = slider(QStringLiteral("Times"), 1, 10, this);
    m_radiusValue = valueField(QStringLiteral("Radius value"), this);
    m_radius = slider(QStringLiteral("Radius"), 1, 160, this);
    m_level = new QLineEdit(this);
    m_level->setAccessibleName(QStringLiteral("Alt"));
    m_level->setMaxLength(3);
    m_level->setFixedWidth(40);
    m_level->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_level));
    row->addWidget(label(QStringLiteral("Times"), this));
    row->addWidget(m_timesValue);
    row->addWidget(m_times);
    row->addSpacing(8);
    row->addWidget(label(QStringLiteral("Radius"), this));
    row->addWidget(m_radiusValue);
    row->addWidget(m_radius);
    row->addSpacing(8);
    row->addWidget(label(QStringLiteral("Alt"), this));
    row->addWidget(m_level);
    row->addStretch(1);

    connect(m_times, &QSlider::valueChanged, this, [this](int v) {
        m_tool.times = v;
        m_timesValue->setText(QString::number(v));
    });
    connect(m_radius, &QSlider::valueChanged, this, [this](int v) {
        m_tool.radius = v;
        m_radiusValue->setText(QString::number(v));
    });
    // Leaving the field (focus or Enter) takes its value.
    connect(m_level, &QLineEdit::editingFinished, this, &CDlgBar::levelEdited);
}

void CDlgBar::refresh(bool landEditor) {
    emit shownChanged(landEditor);
    if (!landEditor) return;
    m_times->setValue(kTimesInitial);
    m_radius->setValue(kRadiusInitial);
    // A slider already at its initial value signals nothing; the tool takes it anyway.
    m_tool.times = kTimesInitial;
    m_tool.radius = kRadiusInitial;
    m_timesValue->setText(QString::number(kTimesInitial));
    m_radiusValue->setText(QString::number(kRadiusInitial));
    m_level->setText(QStringLiteral("000"));
}

void CDlgBar::levelEdited() {
    int value = std::atoi(m_level->text().toLatin1().constData());
    if (value == m_tool.level) return;
    if (value > 255) value = 255;
    m_level->setText(QString::asprintf("%d", value));
    m_level->setMaxLength(3);
    m_tool.level = value;
}

}  // namespace lnd
