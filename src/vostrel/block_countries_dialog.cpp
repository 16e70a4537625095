#include "vostrel/block_countries_dialog.h"

#include "base/messages.h"
#include "base/settings.h"
#include "countries/country_import.h"
#include "countries/country_table.h"
#include "land/land.h"
#include "session/editor_session.h"
#include "view/terrain_mesh.h"
#include "vostrel/country_view.h"
#include "vostrel/edit_country_dialog.h"
#include "vostrel/import_country_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace lnd {

bool blockCountriesEnabled(const CLand& land, bool landEditor, int block) {
    return land.loaded() && land.hasImage() && landEditor && block >= 0 && block < land.numBlocks();
}

// A 256 x 256 block picture: a neighbour (double click moves there) or, with `edit`, the
// block editor (painting on moves with the left button, the brush frame, no pointer inside).
class BlockPicture final : public QWidget {
public:
    BlockPicture(const CTextureView& view, CTextureEdit* edit, const QString& name, QWidget* parent)
        : QWidget(parent), m_view(view), m_edit(edit) {
        setObjectName(name);
        setAccessibleName(name);
        if (edit != nullptr) {
            // Painting needs one screen pixel per texel.
            setFixedSize(kPictureSide, kPictureSide);
        } else {
            // Neighbours give way on small screens, so the dialog and its buttons fit.
            setMinimumSize(kPictureSide / 4, kPictureSide / 4);
            setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        }
        setMouseTracking(edit != nullptr);
    }
    std::function<void()> onDoubleClick;
    QSize sizeHint() const override { return {kPictureSide, kPictureSide}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QImage image = pictureImage(m_view.picture(), kPictureSide);
        if (m_edit == nullptr) {
            // The largest centred square the cell leaves.
            const int side = std::min(width(), height());
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect((width() - side) / 2, (height() - side) / 2, side, side), image);
            return;
        }
        painter.drawImage(0, 0, image);
        const BrushFrame frame = m_edit->brushFrame();
        if (!frame.shown) return;
        // Dark outside, light inside: the frame shows on snow and sand as on grass and sea.
        const QRect r(frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
        painter.setPen(QColor(0, 0, 0));
        painter.drawRect(r);
        painter.setPen(QColor(255, 255, 255));
        painter.drawRect(r.adjusted(1, 1, -1, -1));
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (m_edit == nullptr) return;
        const QPoint p = event->position().toPoint();
        m_edit->MouseMove((event->buttons() & Qt::LeftButton) != 0, p.x(), p.y());
        setCursor(m_edit->pointerHidden() ? Qt::BlankCursor : Qt::ArrowCursor);
        m_edit->validate();
        update();
    }
    void leaveEvent(QEvent*) override {
        if (m_edit == nullptr) return;
        m_edit->MouseMove(false, -1, -1);
        setCursor(Qt::ArrowCursor);
        update();
    }
    void mouseDoubleClickEvent(QMouseEvent*) override {
        if (onDoubleClick) onDoubleClick();
    }

private:
    const CTextureView& m_view;
    CTextureEdit* m_edit;
};

namespace {

QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(caption);
    b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    b->setAutoDefault(false);
    return b;
}

// Neighbour pictures: above the -x neighbour, right +z, left -z, below +x.
constexpr int kNeighbourSlots[4] = {kSlotMinusX, kSlotPlusZ, kSlotMinusZ, kSlotPlusX};

}  // namespace

CBlockCountries::CBlockCountries(EditorSession& session, CSettings* settings, UserMessages& messages, int block,
                                 QWidget* parent)
    : QDialog(parent), m_session(session), m_land(session.land()), m_settings(settings), m_messages(messages) {
    setWindowTitle(QStringLiteral("Block texture "));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("CBlockCountries"));

    m_centre = new BlockPicture(m_editor, &m_editor, QStringLiteral("Block texture"), this);
    const char* names[4] = {"Above", "Right", "Left", "Below"};
    for (int k = 0; k < 4; ++k) {
        m_neighbourPictures[std::size_t(k)] =
            new BlockPicture(m_neighbours[std::size_t(k)], nullptr, QString::fromLatin1(names[k]), this);
        m_neighbourPictures[std::size_t(k)]->onDoubleClick = [this, k] { moveToNeighbour(k); };
    }
    // The block being painted, in its group; the neighbours around it shrink where the screen
    // is too low for three rows of full pictures.
    auto* centreGroup = new QGroupBox(QStringLiteral("Block texture"), this);
    centreGroup->setObjectName(QStringLiteral("Block texture group"));
    auto* centreLayout = new QVBoxLayout(centreGroup);
    centreLayout->setContentsMargins(4, 4, 4, 4);
    centreLayout->addWidget(m_centre);
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    grid->addWidget(m_neighbourPictures[0], 0, 1);
    grid->addWidget(m_neighbourPictures[2], 1, 0);
    grid->addWidget(centreGroup, 1, 1);
    grid->addWidget(m_neighbourPictures[1], 1, 2);
    grid->addWidget(m_neighbourPictures[3], 2, 1);

    auto* brushGroup = new QGroupBox(QStringLiteral("Brush size"), this);
    m_brushSlider = new QSlider(Qt::Horizontal, brushGroup);
    m_brushSlider->setObjectName(QStringLiteral("Brush size"));
    m_brushSlider->setAccessibleName(QStringLiteral("Brush size"));
    m_brushSlider->setRange(5, 8);
    m_brushSlider->setPageStep(1);
    m_brushSlider->setTickPosition(QSlider::TicksBelow);
    m_brushText = new QLabel(brushGroup);
    m_brushText->setObjectName(QStringLiteral("BrushText"));
    auto* brushLayout = new QHBoxLayout(brushGroup);
    brushLayout->addWidget(m_brushSlider, 1);
    brushLayout->addWidget(m_brushText);

    auto* countryGroup = new QGroupBox(QStringLiteral("Selected country"), this);
    m_countryPicture = new CCountryView(QStringLiteral("Selected country"), countryGroup);
    m_countryNumber = new QLabel(countryGroup);
    m_countryNumber->setObjectName(QStringLiteral("CountryNumber"));
    m_countryNumber->setAlignment(Qt::AlignHCenter);
    QPushButton* previous = button(QStringLiteral("< previous"), countryGroup);
    QPushButton* next = button(QStringLiteral("next >"), countryGroup);
    QPushButton* modify = button(QStringLiteral("&Modify"), countryGroup);
    QPushButton* import = button(QStringLiteral("&Import country"), countryGroup);
    auto* steps = new QHBoxLayout;
    steps->addWidget(previous);
    steps->addWidget(next);
    auto* countryLayout = new QVBoxLayout(countryGroup);
    countryLayout->addWidget(m_countryPicture, 0, Qt::AlignHCenter);
    countryLayout->addWidget(m_countryNumber);
    countryLayout->addLayout(steps);
    countryLayout->addWidget(modify);
    countryLayout->addWidget(import);

    QPushButton* setAll = button(QStringLiteral("Set this country to all the land"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
    for (QAbstractButton* b : buttons->buttons()) static_cast<QPushButton*>(b)->setAutoDefault(false);

    auto* side = new QVBoxLayout;
    side->addWidget(brushGroup);
    side->addWidget(countryGroup);
    side->addWidget(setAll);
    side->addStretch();
    side->addWidget(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(grid);
    layout->addLayout(side);

    connect(m_brushSlider, &QSlider::valueChanged, this, &CBlockCountries::setBrushPosition);
    connect(previous, &QPushButton::clicked, this, [this] { selectCountry(-1); });
    connect(next, &QPushButton::clicked, this, [this] { selectCountry(+1); });
    connect(modify, &QPushButton::clicked, this, &CBlockCountries::modifyCountry);
    connect(import, &QPushButton::clicked, this, &CBlockCountries::importCountry);
    connect(setAll, &QPushButton::clicked, this, &CBlockCountries::setCountryToAllTheLand);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    m_brushSlider->setValue(5);
    setBrushPosition(5);
    m_editor.setCountry(0);
    refreshCountryPicture();
    showBlock(block);
    fitScreen(this);
}

void fitScreen(QWidget* dialog) {
    // A window manager's frame and a panel take this much of the screen's height and width.
    constexpr int kFrameAllowance = 48;
    const QScreen* screen = dialog->screen();
    if (screen == nullptr) return;
    const QSize room = screen->availableGeometry().size() - QSize(kFrameAllowance / 2, kFrameAllowance);
    dialog->resize(dialog->sizeHint().boundedTo(room).expandedTo(dialog->minimumSizeHint()));
}

CBlockCountries::~CBlockCountries() = default;

void CBlockCountries::showBlock(int n) {
    m_editor.LoadBlock(m_land, n);
    for (int k = 0; k < 4; ++k) {
        int neighbour = -1;
        const CTerrainMesh& mesh = m_session.mesh();
        if (n >= 0 && n < mesh.blockCount()) neighbour = mesh.geometry(n).links.neighbour(kNeighbourSlots[k]);
        m_neighbours[std::size_t(k)].LoadBlock(m_land, neighbour);
    }
    repaintPictures();
}

void CBlockCountries::moveToNeighbour(int which) {
    if (which < 0 || which > 3) return;
    if (m_editor.pending() && m_messages.question(kApplyBlockQuestion, {}, QuestionButtons::YesNo)) applyPending();
    const int target = m_neighbours[std::size_t(which)].block();
    showBlock(target < 0 ? m_editor.block() : target);
}

void CBlockCountries::selectCountry(int step) {
    const int count = m_land.numCountries();
    if (count <= 0) return;   // no table to step through
    m_country = steppedIndex(m_country, count, step);
    m_editor.setCountry(m_country);
    refreshCountryPicture();
}

void CBlockCountries::setBrushPosition(int position) {
    position = std::clamp(position, 5, 8);
    const int size = 1 << (position - 1);   // 16, 32, 64, 128
    m_editor.setBrushSize(size);
    m_brushText->setText(QStringLiteral("%1x%1").arg(size));
}

void CBlockCountries::modifyCountry() {
    if (m_country < 0 || m_country >= m_land.numCountries()) return;
    CEditCountry dialog(m_session, m_country, this);
    if (runNested(dialog) == QDialog::Accepted) {
        refreshCountryPicture();
        // The neighbours are drawn again from the changed table; the block being painted keeps
        // its picture and its unapplied changes.
        for (CTextureView& view : m_neighbours) view.LoadBlock(m_land, view.block());
        repaintPictures();
    }
}

void CBlockCountries::importCountry() {
    if (Result r = canImportCountry(m_land); !r) {
        m_messages.error(r.message());
        return;
    }
    std::string root = m_land.exportRoot(), materials;
    if (m_settings != nullptr) {
        if (root.empty()) root = m_settings->GetValue("exportRoot");
        materials = m_settings->GetValue("exportMaterials");
    }
    if (materials.empty()) materials = "materials";
    CImportCountry dialog(m_land.path(), root, materials, m_messages, this);
    if (runNested(dialog) != QDialog::Accepted) return;
    if (Result r = m_session.importCountry(dialog.choice()).result; r) refreshCountryPicture();
    else if (r.status() != Status::NotPossible || m_land.hasImage()) m_messages.error(r.message());
}

void CBlockCountries::setCountryToAllTheLand() {
    if (!m_messages.question(kSetAllQuestion, kSetAllCaption, QuestionButtons::OkCancel)) return;
    (void)m_session.setCountryEverywhere(m_country);
    // Closes as OK does, without the editor's pending changes: the whole land was just set.
    QDialog::accept();
}

void CBlockCountries::accept() {
    applyPending();
    QDialog::accept();
}

void CBlockCountries::applyPending() {
    if (!m_editor.pending()) return;
    (void)m_session.applyBlockCountries(m_editor.block(), m_editor.workingCopy());
}

void CBlockCountries::refreshCountryPicture() {
    const int count = m_land.numCountries();
    if (m_country >= 0 && m_country < count)
        m_countryPicture->fillCountry(m_land.countries()[std::size_t(m_country)], m_land.materials());
    else
        m_countryPicture->clear();
    // The number the import dialog and the land statistics count by, so an import is found.
    m_countryNumber->setText(count > 0 ? QStringLiteral("Country %1 of 0 to %2").arg(m_country).arg(count - 1)
                                       : QStringLiteral("No countries"));
    m_countryNumber->setAccessibleName(m_countryNumber->text());
}

void CBlockCountries::repaintPictures() {
    m_centre->update();
    for (BlockPicture* p : m_neighbourPictures) p->update();
}

}  // namespace lnd
