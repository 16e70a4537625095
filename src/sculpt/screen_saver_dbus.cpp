#include "sculpt/screen_saver_dbus.h"

#if defined(LND_SCREEN_SAVER_DBUS)
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QString>
#endif

namespace clay {

#if defined(LND_SCREEN_SAVER_DBUS)

namespace {

class CDBusScreenSaver final : public CScreenSaverBus {
public:
    explicit CDBusScreenSaver(const QDBusConnection& bus)
        : m_service(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                    QStringLiteral("org.freedesktop.ScreenSaver"), bus) {
        m_service.setTimeout(1000);   // a slow desktop must not freeze the editor
    }
    std::optional<std::uint32_t> Inhibit(const std::string& application, const std::string& reason) override {
        const QDBusReply<uint> reply =
            m_service.call(QStringLiteral("Inhibit"), QString::fromStdString(application), QString::fromStdString(reason));
        if (!reply.isValid()) return std::nullopt;
        return std::uint32_t(reply.value());
    }
    void UnInhibit(std::uint32_t cookie) override { m_service.call(QStringLiteral("UnInhibit"), uint(cookie)); }

private:
    QDBusInterface m_service;
};

bool SessionBusConfigured() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

}  // namespace

std::unique_ptr<CScreenSaverBus> SessionScreenSaverBus() {
    // Without a configured bus, asking Qt for one could start a bus daemon: leave it.
    if (!SessionBusConfigured()) return nullptr;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return nullptr;
    return std::make_unique<CDBusScreenSaver>(bus);
}

#else

std::unique_ptr<CScreenSaverBus> SessionScreenSaverBus() { return nullptr; }

#endif

}  // namespace clay
