#include "vostrel/key_state.h"

#include "view/camera.h"

namespace lnd {

int virtualKeyForEvent(int qtKey, char32_t typed) {
    // Qt numbers these keys by their upper-case character, which is also their key code.
    if ((qtKey >= 'A' && qtKey <= 'Z') || (qtKey >= '0' && qtKey <= '9') || qtKey == ' ') return qtKey;
    if (typed > 0x20 && typed < 0x7F) return virtualKeyForChar(char(typed)) & 0xFF;
    return 0;
}

void KeyStateTable::press(int qtKey, char32_t typed) {
    if (m_pressed.contains(qtKey)) return;   // auto-repeat
    const int vk = virtualKeyForEvent(qtKey, typed);
    if (vk == 0) return;
    m_pressed.emplace(qtKey, vk);
    ++m_down[std::size_t(vk)];
}

void KeyStateTable::release(int qtKey) {
    const auto it = m_pressed.find(qtKey);
    if (it == m_pressed.end()) return;
    --m_down[std::size_t(it->second)];
    m_pressed.erase(it);
}

void KeyStateTable::clear() {
    m_down.fill(0);
    m_pressed.clear();
}

}  // namespace lnd
