#include "vostrel/edit_country_dialog.h"

#include "countries/country_table.h"
#include "land/land.h"
#include "session/editor_session.h"
#include "vostrel/country_view.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace lnd {

namespace {

QPushButton* button(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

CEditCountry::CEditCountry(EditorSession& session, int country, QWidget* parent)
    : QDialog(parent), m_session(session), m_land(session.land()), m_country(country) {
    CLand& land = m_land;
    setWindowTitle(QStringLiteral("Country edit"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("CEditCountry"));
    if (country >= 0 && country < land.numCountries()) m_work = land.countries()[std::size_t(country)];

    m_picture1 = new CCountryView(QStringLiteral("Picture 1"), this);
    m_picture2 = new CCountryView(QStringLiteral("Picture 2"), this);
    m_result = new CCountryView(QStringLiteral("Resulting texture"), this);

    auto* pictures = new QGridLayout;
    const auto addPicture = [&](int column, const QString& caption, CCountryView* view, bool second) {
        auto* label = new QLabel(caption, this);
        pictures->addWidget(label, 0, column, Qt::AlignHCenter);
        pictures->addWidget(view, 1, column);
        {
            auto* row = new QHBoxLayout;
            const QString tag = second ? QStringLiteral("2") : QStringLiteral("1");
            QPushButton* back = button(QStringLiteral("<"), "previous" + tag, this);
            QPushButton* forward = button(QStringLiteral(">"), "next" + tag, this);
            back->setAccessibleName("< " + caption);
            forward->setAccessibleName("> " + caption);
            connect(back, &QPushButton::clicked, this, [this, second] { stepMaterial(second, -1); });
            connect(forward, &QPushButton::clicked, this, [this, second] { stepMaterial(second, +1); });
            row->addStretch();
            row->addWidget(back);
            row->addWidget(forward);
            row->addStretch();
            pictures->addLayout(row, 2, column);
            // The material's number, as the import dialog and the exports name materials.
            QLabel*& number = m_materialNumbers[second ? 1 : 0];
            number = new QLabel(this);
            number->setObjectName("MaterialNumber" + tag);
            pictures->addWidget(number, 3, column, Qt::AlignHCenter);
        }
    };
    addPicture(0, QStringLiteral("Picture 1"), m_picture1, false);
    addPicture(1, QStringLiteral("Picture 2"), m_picture2, true);
    pictures->addWidget(new QLabel(QStringLiteral("Resulting texture"), this), 0, 2, Qt::AlignHCenter);
    pictures->addWidget(m_result, 1, 2);

    // Position 0 at the top: the top of the slider is altitude 255.
    m_altitude = new QSlider(Qt::Vertical, this);
    m_altitude->setObjectName(QStringLiteral("Altitude"));
    m_altitude->setAccessibleName(QStringLiteral("Altitude"));
    m_altitude->setRange(0, 255);
    m_altitude->setInvertedAppearance(true);
    m_altitude->setInvertedControls(true);
    m_altitude->setValue(255);
    m_altitudeText = new QLabel(this);
    m_altitudeText->setObjectName(QStringLiteral("AltitudeText"));
    auto* altitudeBox = new QVBoxLayout;
    altitudeBox->addWidget(new QLabel(QStringLiteral("Altitude"), this), 0, Qt::AlignHCenter);
    altitudeBox->addWidget(m_altitude, 1, Qt::AlignHCenter);
    altitudeBox->addWidget(m_altitudeText, 0, Qt::AlignHCenter);

    m_weight = new QSlider(Qt::Horizontal, this);
    m_weight->setObjectName(QStringLiteral("Coef"));
    m_weight->setAccessibleName(QStringLiteral("Coef"));
    m_weight->setRange(0, 255);
    // Opens at the entry's own weight: a slider at 0 would write 0 into it on the next move.
    m_weight->setValue(std::clamp<int>(m_work.Coefs[0].coef, 0, 255));
    m_weightText = new QLabel(this);
    m_weightText->setObjectName(QStringLiteral("CoefText"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addLayout(pictures);
    top->addLayout(altitudeBox);
    auto* weightRow = new QHBoxLayout;
    weightRow->addWidget(m_weight, 1);
    weightRow->addWidget(m_weightText);
    auto* countryNumber = new QLabel(QStringLiteral("Country %1").arg(country), this);
    countryNumber->setObjectName(QStringLiteral("CountryNumber"));
    countryNumber->setAccessibleName(countryNumber->text());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countryNumber);
    layout->addLayout(top);
    layout->addLayout(weightRow);
    layout->addWidget(buttons);

    connect(m_altitude, &QSlider::valueChanged, this, &CEditCountry::altitudeMoved);
    connect(m_weight, &QSlider::valueChanged, this, &CEditCountry::weightMoved);
    m_altitudeText->setText(QString::number(m_h));
    m_weightText->setText(QStringLiteral("Coef=%1").arg(int(m_work.Coefs[0].coef)));
    refreshPictures();
}

void CEditCountry::altitudeMoved(int position) {
    const int h = 255 - position;
    if (h == m_h) return;
    m_h = h;
    // Moving the weight slider to the entry's weight must not write it back as a change.
    const QSignalBlocker quiet(m_weight);
    m_weight->setValue(std::clamp<int>(m_work.Coefs[h].coef, 0, 255));
    m_altitudeText->setText(QString::number(h));
    m_weightText->setText(QStringLiteral("Coef=%1").arg(int(m_work.Coefs[h].coef)));
    refreshPictures();
}

void CEditCountry::weightMoved(int position) {
    TLndCoef& e = m_work.Coefs[m_h];
    if (position == std::int32_t(e.coef)) return;
    e.coef = position;
    m_weightText->setText(QStringLiteral("Coef=%1").arg(position));
    refreshResult();
}

void CEditCountry::stepMaterial(bool second, int step) {
    const int count = m_land.numMaterials();
    if (count <= 0) return;   // nothing to step through
    TLndCoef& e = m_work.Coefs[m_h];
    // Picture 1 shows mat2, Picture 2 mat1.
    LeI32& field = second ? e.mat1 : e.mat2;
    const int current = std::int32_t(field);
    field = steppedIndex(current < 0 || current >= count ? 0 : current, count, step);
    refreshPictures();
}

void CEditCountry::refreshPictures() {
    const auto materials = m_land.materials();
    const TLndCoef& e = m_work.Coefs[m_h];
    const auto show = [&](CCountryView* view, std::int32_t m) {
        if (m >= 0 && std::size_t(m) < materials.size()) view->fillMaterial(materials[std::size_t(m)]);
        else view->clear();
    };
    show(m_picture1, e.mat2);
    show(m_picture2, e.mat1);
    const std::int32_t numbers[2] = {e.mat2, e.mat1};
    for (int k = 0; k < 2; ++k) {
        const bool known = numbers[k] >= 0 && std::size_t(numbers[k]) < materials.size();
        m_materialNumbers[k]->setText(known ? QStringLiteral("Material %1").arg(numbers[k])
                                            : QStringLiteral("No material %1").arg(numbers[k]));
        m_materialNumbers[k]->setAccessibleName(m_materialNumbers[k]->text());
    }
    refreshResult();
}

void CEditCountry::refreshResult() {
    const auto materials = m_land.materials();
    const TLndCoef& e = m_work.Coefs[m_h];
    const std::int32_t a = e.mat1, b = e.mat2;
    if (a >= 0 && std::size_t(a) < materials.size() && b >= 0 && std::size_t(b) < materials.size())
        m_result->fillBlend(materials[std::size_t(a)], materials[std::size_t(b)], e.coef);
    else
        m_result->clear();
}

void CEditCountry::accept() {
    (void)m_session.storeCountry(m_country, m_work);
    QDialog::accept();
}

}  // namespace lnd
