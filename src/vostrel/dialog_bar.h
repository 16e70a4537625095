// The dialog bar of the land editor: brush strength (Times) and radius sliders with their
// values, and the altitude the level brush levels to ("Alt").
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QSlider;

namespace lnd {

struct BrushStep;

class CDlgBar : public QWidget {
    Q_OBJECT
public:
    // The sliders and the field set the window's brush tool.
    explicit CDlgBar(BrushStep& tool, QWidget* parent = nullptr);

    // Shown and reset to Times 1, Radius 80, "000" in the land editor (the level value
    // itself is kept); hidden otherwise.
    void refresh(bool landEditor);

    QSlider* timesSlider() const { return m_times; }
    QSlider* radiusSlider() const { return m_radius; }
    QLineEdit* levelField() const { return m_level; }
    QLineEdit* timesValue() const { return m_timesValue; }
    QLineEdit* radiusValue() const { return m_radiusValue; }

signals:
    // The bar's controls are to be shown (land editor) or hidden.
    void shownChanged(bool shown);

private:
    void levelEdited();

    BrushStep& m_tool;
    QSlider* m_times = nullptr;
    QSlider* m_radius = nullptr;
    QLineEdit* m_timesValue = nullptr;
    QLineEdit* m_radiusValue = nullptr;
    QLineEdit* m_level = nullptr;
};

}  // namespace lnd
