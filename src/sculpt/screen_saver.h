// Keeping the screen saver off while Clayvane's window is active: one inhibition is held from
// the window's activation until it loses activation (or closes). The session's screen-saver
// service is reached through a small bus interface, so the rule runs and is tested without
// one; where there is no session bus, there is no bus object and nothing happens.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace clay {

class CScreenSaverBus {
public:
    virtual ~CScreenSaverBus() = default;
    // Asks the service to keep the screen saver off; the cookie that ends it, or nothing
    // when the service refused or is not there.
    virtual std::optional<std::uint32_t> Inhibit(const std::string& application, const std::string& reason) = 0;
    virtual void UnInhibit(std::uint32_t cookie) = 0;
};

class CScreenSaverHold {
public:
    explicit CScreenSaverHold(CScreenSaverBus* bus) : m_bus(bus) {}
    ~CScreenSaverHold() { SetActive(false); }
    CScreenSaverHold(const CScreenSaverHold&) = delete;
    CScreenSaverHold& operator=(const CScreenSaverHold&) = delete;

    // The window became active (inhibit, once) or stopped being active (release).
    void SetActive(bool active);
    bool Held() const { return m_cookie.has_value(); }

private:
    CScreenSaverBus* m_bus;
    bool m_active = false;
    std::optional<std::uint32_t> m_cookie;
};

}  // namespace clay
