// Clayvane's carousel menu: the main menu's four items, the tool menu's three, and the
// selector that flips through brushes or countries. Escape steps back one level; F1 and F2
// open or close a selector from anywhere; a main menu item that needs the shell (load, save,
// quit) stays chosen until the loop serves it after the frame.
#pragma once

#include "sculpt/sculpt_math.h"

#include <functional>
#include <vector>

namespace clay {

enum class EMenuState {
    Closed,
    Main,
    Tools,
    SelectingBrush,
    SelectingCountry,
    // The main menu with an item chosen that the loop serves after the frame.
    LoadChosen,
    SaveChosen,
    QuitChosen,
};

struct SMenuItem {
    SMat4 modelView;
    int picture = 0;     // 0..6, the records of Clayvane.dat
    bool lit = false;    // under the pointer: drawn opaque
};

struct SMenuPlan {
    std::vector<SMenuItem> items;
    bool frame = false;           // the green frame round the front item
    bool selector = false;
    bool selectorBrush = true;    // brush picture, else country swatch
    int selectorIndex = 0;
    SMat4 selectorModelView;
};

class CCarouselMenu {
public:
    bool Open() const { return m_state != EMenuState::Closed; }
    bool Selecting() const { return m_state == EMenuState::SelectingBrush || m_state == EMenuState::SelectingCountry; }
    EMenuState State() const { return m_state; }
    void SetState(EMenuState state) { m_state = state; }

    // Escape: closed opens, the main menu closes, a selector goes back to the tool menu, the
    // tool menu to the main menu.
    void Escape();
    void CloseAll() { m_state = EMenuState::Closed; }
    // F1 / F2: open the selector (menu and tool menu with it) or close everything.
    void ToggleSelector(EMenuState selector);
    // The chosen item the loop serves, if any; the menu goes back to the main menu.
    EMenuState TakeChoice();
    // Arrow keys while selecting.
    void Flip(int direction) { m_flipDirection = direction; }

    // One frame of the open menu. `under(modelView)` tells whether the pointer is over an
    // item's quad drawn with that model-view; `leftDown` is the held button, which the main
    // menu counts as released once it chose. `count` is the number of brushes or countries
    // the selector wraps in; `dx` the horizontal pointer motion since the last frame.
    SMenuPlan Step(const std::function<bool(const SMat4&)>& under, bool& leftDown, int brushCount, int countryCount, float dx);

    // The selector's cursor wrapped into 0..count-1 (0 for an empty range).
    int Wrapped(int count) const;

    float m_spin = 0.0f, m_spinSpeed = 0.0f;   // the carousel's turn and its coasting speed
    int m_cursor = 0;
    float m_flipAngle = 0.0f;
    int m_flipDirection = 0;                    // -1, 0 or 1
    float m_turn = 0.0f;                        // the selector's own slow turn

private:
    enum class EFlip { Idle, Out, In };   // the selector's flip: turning out, or back in
    EMenuState m_state = EMenuState::Closed;
    EFlip m_flip = EFlip::Idle;
};

}  // namespace clay
