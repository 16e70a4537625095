#include "vostrel/import_country_dialog.h"

#include "base/messages.h"
#include "land/land.h"
#include "vostrel/country_view.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lnd {

namespace {

// What a tree item stands for.
enum ItemKind { kRootItem = 1, kLandItem, kPlaceholderItem, kCountryItem };
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kPictureSide = 128;

int kindOf(const QTreeWidgetItem* item) { return item ? item->data(0, kKindRole).toInt() : 0; }

QTreeWidgetItem* makeItem(const QString& text, ItemKind kind) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kKindRole, int(kind));
    return item;
}

}  // namespace

CImportCountry::CImportCountry(const std::string& landPath, const std::string& exportRoot,
                               const std::string& materialsSubdir, UserMessages& messages, QWidget* parent)
    : QDialog(parent), m_exportRoot(exportRoot), m_materialsSubdir(materialsSubdir), m_messages(messages) {
    setWindowTitle(QStringLiteral("Select country to import"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("CImportCountry"));

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("Countries exported"));
    m_tree->setAccessibleName(QStringLiteral("Countries exported "));
    m_tree->setHeaderHidden(true);
    m_tree->setMinimumWidth(200);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("Materials in the selected country"));
    m_list->setAccessibleName(QStringLiteral("Materials in the selected country"));
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize({kPictureSide, kPictureSide});
    m_list->setGridSize({kPictureSide + 16, kPictureSide + 28});
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setMinimumSize(3 * (kPictureSide + 16) + 8, kPictureSide + 40);

    auto* buttons = new QDialogButtonBox(this);
    m_import = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    m_import->setAccessibleName(QStringLiteral("Import"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Countries exported "), this));
    layout->addWidget(m_tree, 1);
    layout->addWidget(new QLabel(QStringLiteral("Materials in the selected country"), this));
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);

    m_root = makeItem(QStringLiteral("Lands"), kRootItem);
    m_tree->addTopLevelItem(m_root);
    // A path whose only "." is its first character names no land: the tree stays empty.
    const std::size_t dot = landPath.find_last_of('.');
    if (dot != 0) {
        for (const std::string& name : exportedLands(exportRoot, landNameOf(landPath))) {
            QTreeWidgetItem* land = makeItem(QString::fromStdString(name), kLandItem);
            land->addChild(makeItem(QStringLiteral("Countries"), kPlaceholderItem));
            m_root->addChild(land);
        }
    }
    m_root->setExpanded(true);
    m_import->setEnabled(false);

    connect(m_tree, &QTreeWidget::itemExpanded, this, &CImportCountry::expandLand);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { selectItem(current); });
    resize(480, 560);
}

CImportCountry::~CImportCountry() = default;

void CImportCountry::expandLand(QTreeWidgetItem* item) {
    if (kindOf(item) != kLandItem) return;
    const std::string land = item->text(0).left(127).toStdString();
    m_materialsDir = materialsDirOf(m_exportRoot, land, m_materialsSubdir);
    const std::string path = m_materialsDir + "/" + kCountriesFileName;
    auto file = std::make_unique<CountriesFile>();
    if (!CountriesFile::load(resolveFromStart(path), *file)) m_messages.error(countriesLoadErrorText(path));
    m_file = std::move(file);   // an empty file on failure: the land shows no countries

    if (m_expanded != nullptr && m_expanded != item) {
        const QSignalBlocker quiet(m_tree);
        m_expanded->setExpanded(false);
    }
    m_expanded = item;
    const QSignalBlocker quiet(m_tree);
    qDeleteAll(item->takeChildren());
    for (const CountryElement& country : m_file->countries())
        item->addChild(makeItem(QString::fromStdString(country.id), kCountryItem));
    selectItem(m_tree->currentItem());
}

void CImportCountry::selectItem(QTreeWidgetItem* item) {
    m_list->clear();
    m_choice = CountryChoice{};
    // Only a country id read from an expanded land's file can be imported; the placeholder of
    // an unexpanded land would import an empty country.
    if (kindOf(item) != kCountryItem || item->parent() != m_expanded || !m_file) {
        m_import->setEnabled(false);
        return;
    }
    showCountry(item->text(0).toStdString());
    m_import->setEnabled(true);
}

void CImportCountry::showCountry(const std::string& id) {
    m_choice = chooseCountry(*m_file, id, m_materialsDir);
    for (const std::string& name : m_choice.materialNames()) {
        auto* entry = new QListWidgetItem(QString::fromStdString(name), m_list);
        if (!safeMaterialName(name)) continue;   // never a file outside the materials folder
        auto material = std::make_unique<TLndMaterial>();
        if (!readMaterialImage(materialFilePath(m_materialsDir, name), *material)) continue;
        const QImage picture = pictureImage(materialPicture(*material), kCountryPictureSide)
                                   .scaled(kPictureSide, kPictureSide, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        entry->setIcon(QIcon(QPixmap::fromImage(picture)));
    }
}

}  // namespace lnd
