#include "sculpt/carousel_menu.h"

#include <algorithm>
#include <cmath>

namespace clay {

void CCarouselMenu::Escape() {
    switch (m_state) {
    case EMenuState::Closed: m_state = EMenuState::Main; break;
    case EMenuState::Tools: m_state = EMenuState::Main; break;
    case EMenuState::SelectingBrush:
    case EMenuState::SelectingCountry: m_state = EMenuState::Tools; break;
    default: m_state = EMenuState::Closed; break;   // the main menu, chosen item or not
    }
}

void CCarouselMenu::ToggleSelector(EMenuState selector) {
    const EMenuState other = selector == EMenuState::SelectingBrush ? EMenuState::SelectingCountry : EMenuState::SelectingBrush;
    if (m_state == other) return;   // the other selector keeps its key
    m_state = m_state == selector ? EMenuState::Closed : selector;
}

EMenuState CCarouselMenu::TakeChoice() {
    const EMenuState chosen = m_state;
    if (chosen == EMenuState::LoadChosen || chosen == EMenuState::SaveChosen || chosen == EMenuState::QuitChosen) {
        m_state = EMenuState::Main;
        return chosen;
    }
    return EMenuState::Closed;
}

int CCarouselMenu::Wrapped(int count) const {
    if (count <= 0) return 0;
    const int c = m_cursor % count;
    return c < 0 ? c + count : c;
}

SMenuPlan CCarouselMenu::Step(const std::function<bool(const SMat4&)>& under, bool& leftDown, int brushCount,
                              int countryCount, float dx) {
    SMenuPlan plan;
    SMat4 mv;
    mv.Translate(0, 0, -10);
    mv.Rotate(5, 1, 0, 0);
    mv.Rotate(m_spin + 5, 0, 1, 0);
    if (!Selecting() && m_state != EMenuState::Tools) {
        static constexpr EMenuState kMain[4] = {EMenuState::Tools, EMenuState::LoadChosen, EMenuState::SaveChosen,
                                                EMenuState::QuitChosen};
        for (int i = 0; i < 4; ++i) {
            mv.Rotate(90, 0, 1, 0);
            const bool lit = under(mv);
            plan.items.push_back({mv, i, lit});
            if (lit && leftDown) {
                leftDown = false;   // one press chooses once
                m_state = kMain[i];
            }
        }
    } else if (m_state == EMenuState::Tools) {
        for (int i = 0; i < 3; ++i) {
            mv.Rotate(120, 0, 1, 0);
            const bool lit = under(mv);
            plan.items.push_back({mv, 4 + i, lit});
            // The button is not counted as released here; the first item chosen wins.
            if (lit && leftDown && m_state == EMenuState::Tools) {
                if (i == 0) m_state = EMenuState::SelectingBrush;
                else if (i == 1) m_state = EMenuState::SelectingCountry;
            }
        }
    }
    plan.frame = !Selecting();
    if (Selecting()) {
        const bool brush = m_state == EMenuState::SelectingBrush;
        SMat4 sel;
        sel.Rotate(m_flipAngle, 0, 1, 0);
        sel.Translate(0, -1, -10);
        sel.Rotate(30, 1, 0, 0);
        sel.Rotate(m_turn, 0, 1, 0);
        plan.selector = true;
        plan.selectorBrush = brush;
        plan.selectorModelView = sel;
        m_cursor = Wrapped(brush ? brushCount : countryCount);
        plan.selectorIndex = m_cursor;
        if (m_flipDirection != 0 && m_flip == EFlip::Idle) m_flip = EFlip::Out;
        const float step = m_flipDirection > 0 ? -5.0f : 5.0f;
        if (m_flip == EFlip::Out) {
            m_flipAngle += step;
            if (std::fabs(m_flipAngle) >= 45.0f) {
                m_cursor += m_flipDirection > 0 ? 1 : -1;
                m_flipAngle = -m_flipAngle;
                m_flip = EFlip::In;
            }
        } else if (m_flip == EFlip::In) {
            m_flipAngle += step;
            if ((step < 0 && m_flipAngle <= 0.0f) || (step > 0 && m_flipAngle >= 0.0f)) {
                m_flipAngle = 0.0f;
                m_flip = EFlip::Idle;
                m_flipDirection = 0;
            }
        }
        m_turn -= 0.4f;
    }
    if (leftDown) {
        m_spin += dx;
        m_spinSpeed = dx;
    } else {
        m_spin += m_spinSpeed;
        m_spinSpeed = m_spinSpeed > 0 ? std::max(0.0f, m_spinSpeed - 0.1f) : std::min(0.0f, m_spinSpeed + 0.1f);
    }
    return plan;
}

}  // namespace clay
