#include "sculpt/screen_saver.h"

namespace clay {

void CScreenSaverHold::SetActive(bool active) {
    if (active == m_active) return;   // activation messages repeat; one inhibition is enough
    m_active = active;
    if (m_bus == nullptr) return;
    if (active) {
        m_cookie = m_bus->Inhibit("Clayvane", "Sculpting a land");
    } else if (m_cookie) {
        m_bus->UnInhibit(*m_cookie);
        m_cookie.reset();
    }
}

}  // namespace clay
