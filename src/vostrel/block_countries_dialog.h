// "Block texture ": paints countries onto the cells of one block, moves to its neighbours,
// steps through the countries and opens the blend editor, the country import and the
// whole-land assignment. Painting stays in the block editor's working copy until OK or a
// confirmed move to a neighbour.
#pragma once

#include "tools/texture_edit.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QLabel;
class QSlider;

namespace lnd {

class CCountryView;
class CLand;
class CSettings;
class EditorSession;
class UserMessages;

inline constexpr const char* kApplyBlockQuestion =
    "Do you like to apply the modifications to the current block?\n\rIf you choose no,the modifications will be lose";

// True when "&Block countries..." may run: a land held, the land editor, and `block` (the
// block under the pointer when the menu opened) one of the land's blocks.
bool blockCountriesEnabled(const CLand& land, bool landEditor, int block);

class BlockPicture;

// Sizes a dialog to its preferred size, less where the screen (less a window frame) is smaller.
void fitScreen(QWidget* dialog);

class CBlockCountries : public QDialog {
    Q_OBJECT
public:
    // Every change goes through `session`; its mesh gives the neighbour links. `settings`
    // gives the export folders for the import (the land's own export root without it). It
    // opens on block record `block` (the pick of the moment the user asked for it).
    CBlockCountries(EditorSession& session, CSettings* settings, UserMessages& messages, int block,
                    QWidget* parent = nullptr);
    ~CBlockCountries() override;

    // Shows block record n in the middle and its edge neighbours around it.
    void showBlock(int n);
    // A double click on neighbour picture 0 above, 1 right, 2 left, 3 below.
    void moveToNeighbour(int which);
    void selectCountry(int step);   // "< previous" -1, "next >" +1
    void setBrushPosition(int position);   // 5..8
    void modifyCountry();
    void importCountry();
    void setCountryToAllTheLand();
    void accept() override;

    int selectedCountry() const { return m_country; }
    int brushSize() const { return m_editor.brushSize(); }
    CTextureEdit& editor() { return m_editor; }
    const CTextureView& neighbour(int which) const { return m_neighbours[std::size_t(which)]; }

    // Overridable so tests can answer the nested dialogs.
    std::function<int(QDialog&)> runNested = [](QDialog& d) { return d.exec(); };

private:
    void refreshCountryPicture();
    void repaintPictures();
    // Writes the painted block through the session when it has unapplied changes.
    void applyPending();

    EditorSession& m_session;
    CLand& m_land;   // shown (its textures made to draw), never edited here
    CSettings* m_settings;
    UserMessages& m_messages;
    CTextureEdit m_editor;
    std::array<CTextureView, 4> m_neighbours;
    BlockPicture* m_centre = nullptr;
    std::array<BlockPicture*, 4> m_neighbourPictures{};
    CCountryView* m_countryPicture = nullptr;
    QSlider* m_brushSlider = nullptr;
    QLabel* m_brushText = nullptr;
    QLabel* m_countryNumber = nullptr;
    int m_country = 0;
};

}  // namespace lnd
