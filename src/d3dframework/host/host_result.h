// Result codes of the rendering host and the fixed texts the user sees for them.
#pragma once

#include <cstdint>
#include <string>

namespace lnd {

using HostResult = std::int32_t;

inline constexpr HostResult hostCode(std::uint32_t bits) { return static_cast<HostResult>(bits); }

inline constexpr HostResult kHostOk = 0;
inline constexpr HostResult kHostFail = hostCode(0x80004005u);
inline constexpr HostResult kHostInvalidArg = hostCode(0x80070057u);
inline constexpr HostResult kHostOutOfMemory = hostCode(0x8007000Eu);
inline constexpr HostResult kHostNoContext = hostCode(0x82000001u);
inline constexpr HostResult kHostNoCompatibleDevices = hostCode(0x82000003u);
inline constexpr HostResult kHostNoWindowedDevice = hostCode(0x82000004u);
inline constexpr HostResult kHostNoHardwareDevice = hostCode(0x82000005u);
inline constexpr HostResult kHostHardwareUnusable = hostCode(0x82000006u);
inline constexpr HostResult kHostNoWindowedHardware = hostCode(0x82000007u);
inline constexpr HostResult kHostNoDesktopWindowed = hostCode(0x82000008u);
inline constexpr HostResult kHostNoWindowedHardwareModes = hostCode(0x82000009u);
inline constexpr HostResult kHostLeftoverReference = hostCode(0x8200000Au);
inline constexpr HostResult kHostMediaNotFound = hostCode(0x8200000Bu);
inline constexpr HostResult kHostResetFailed = hostCode(0x8200000Cu);
inline constexpr HostResult kHostOutOfVideoMemory = hostCode(0x8876017Cu);

inline constexpr bool hostFailed(HostResult r) { return r < 0; }

enum class HostErrorKind { Warning = 0, Fatal = 1, SwitchingToReference = 2 };

// The message text for a code, with the closing sentence of its kind appended.
std::string hostErrorText(HostResult code, HostErrorKind kind);

enum class MessageIcon { Error, Warning, Question, Information };

}  // namespace lnd
