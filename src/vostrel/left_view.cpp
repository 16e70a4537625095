#include "vostrel/left_view.h"

#include "base/settings.h"

#include <QImage>
#include <QListWidget>
#include <QVBoxLayout>

namespace lnd {

QImage brushIcon(const CBrushDef& brush) {
    constexpr int side = BrushBitmap::kSide;
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    if (brush.bitmap.pixels.size() < std::size_t(side) * side * 4) return image;
    const std::uint8_t* p = brush.bitmap.pixels.data();
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x, p += 4) {
            // Pixels are alpha, red, green, blue.
            const bool key = p[1] == 192 && p[2] == 192 && p[3] == 192;
            image.setPixel(x, y, key ? qRgba(0, 0, 0, 0) : qRgb(p[1], p[2], p[3]));
        }
    }
    return image;
}

CLeftView::CLeftView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Brushes"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 5, 5);   // the list fills the pane less 5 pixels
    m_list = new QListWidget(this);
    m_list->setAccessibleName(QStringLiteral("Brushes"));
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(BrushBitmap::kSide, BrushBitmap::kSide));
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setWordWrap(true);
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &CLeftView::selectionChanged);
    setEnabled(false);
}

void CLeftView::fill(const std::vector<CBrushDef>& brushes) {
    setEnabled(true);
    m_list->clear();
    m_brushes = &brushes;
    for (const CBrushDef& b : brushes) {
        auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(brushIcon(b))), QString::fromStdString(b.name), m_list);
        item->setToolTip(QString::fromStdString(b.tip));
        item->setData(Qt::AccessibleTextRole, QString::fromStdString(b.name));
    }
    if (m_list->count() > 0) m_list->setCurrentRow(0);
}

void CLeftView::clear() {
    m_list->clear();
    m_brushes = nullptr;
    setEnabled(false);
}

const CBrushDef* CLeftView::selectedBrush() const {
    if (m_brushes == nullptr) return nullptr;
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) return nullptr;
    const int row = m_list->row(selected.front());
    return row >= 0 && std::size_t(row) < m_brushes->size() ? &(*m_brushes)[std::size_t(row)] : nullptr;
}

}  // namespace lnd
