// The key-state table the view polls once per frame, kept from the widget's key events.
// Keys are tracked by virtual-key code (1..255), the codes the key table is written in.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>

namespace lnd {

// The virtual-key code of the physical key behind a key event: letters, digits and space by
// their key number, other keys by the character they typed (the shift state dropped, since
// it is the key that is held, not the character). 0 for a key the table does not track.
int virtualKeyForEvent(int qtKey, char32_t typed);

class KeyStateTable {
public:
    // A key went down or up. The release is matched to its press by the event's key number,
    // because the character a key types may change between the two (Shift let go first).
    void press(int qtKey, char32_t typed);
    void release(int qtKey);
    // Everything up (focus lost: releases elsewhere never arrive).
    void clear();

    bool isDown(int virtualKey) const {
        return virtualKey > 0 && virtualKey < 256 && m_down[std::size_t(virtualKey)] > 0;
    }

private:
    std::array<std::uint8_t, 256> m_down{};   // how many held keys map to each code
    std::unordered_map<int, int> m_pressed;   // key number -> code taken at its press
};

}  // namespace lnd
