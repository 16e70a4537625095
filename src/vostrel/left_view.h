// The left pane of the land editor: the settings' brushes as an icon list, each with its
// picture, name and tip. Empty and disabled in the viewer.
#pragma once

#include <QWidget>

#include <vector>

class QListWidget;

namespace lnd {

struct CBrushDef;

// A brush picture as an image: light grey (192, 192, 192) is transparent.
QImage brushIcon(const CBrushDef& brush);

class CLeftView : public QWidget {
    Q_OBJECT
public:
    explicit CLeftView(QWidget* parent = nullptr);

    // Lists the brushes in order and selects the first; enables the pane.
    void fill(const std::vector<CBrushDef>& brushes);
    // Empties and disables the pane.
    void clear();
    // The brush of the selected item, or null.
    const CBrushDef* selectedBrush() const;

    QListWidget* list() const { return m_list; }

signals:
    void selectionChanged();

private:
    QListWidget* m_list = nullptr;
    const std::vector<CBrushDef>* m_brushes = nullptr;
};

}  // namespace lnd
