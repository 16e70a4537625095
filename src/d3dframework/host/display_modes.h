// Adapters, devices and display modes as the host offers them, and the choices made from
// them: usable modes, behaviour, depth-stencil format, the device the host starts on.
//
// Format codes are the classic surface-format numbers so stored choices and the statistics
// text keep their meaning: 20..22 are 32-bit (24-bit colour) formats, 23..25 16-bit ones;
// depth formats 71 (D32), 73 (D15S1), 75 (D24S8), 77 (D24X8), 79 (D24X4S4), 80 (D16).
#pragma once

#include "d3dframework/host/host_result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lnd {

inline constexpr std::uint32_t kFormatR8G8B8 = 20;
inline constexpr std::uint32_t kFormatA8R8G8B8 = 21;
inline constexpr std::uint32_t kFormatX8R8G8B8 = 22;
inline constexpr std::uint32_t kFormatR5G6B5 = 23;
inline constexpr std::uint32_t kFormatX1R5G5B5 = 24;
inline constexpr std::uint32_t kFormatA1R5G5B5 = 25;

inline constexpr std::uint32_t kDepthD32 = 71;
inline constexpr std::uint32_t kDepthD15S1 = 73;
inline constexpr std::uint32_t kDepthD24S8 = 75;
inline constexpr std::uint32_t kDepthD24X8 = 77;
inline constexpr std::uint32_t kDepthD24X4S4 = 79;
inline constexpr std::uint32_t kDepthD16 = 80;

inline constexpr std::uint32_t kBehaviourSoftware = 0x20;
inline constexpr std::uint32_t kBehaviourHardware = 0x40;
inline constexpr std::uint32_t kBehaviourPureHardware = 0x50;
inline constexpr std::uint32_t kBehaviourMixed = 0x80;

enum class DeviceType { Hardware, Reference };

struct ScreenMode {
    int width = 0;
    int height = 0;
    std::uint32_t format = kFormatX8R8G8B8;
    bool operator==(const ScreenMode&) const = default;
};

struct DisplayMode {
    int width = 0;
    int height = 0;
    std::uint32_t format = 0;
    std::uint32_t behaviour = 0;
    std::uint32_t depthStencilFormat = 0;
};

// Format code descending, then width, then height ascending.
bool displayModeBefore(const ScreenMode& a, const ScreenMode& b);

// What the platform says about one device before anything is chosen.
struct DeviceFacts {
    DeviceType type = DeviceType::Hardware;
    std::string description;
    bool hardwareTransformAndLight = true;
    bool pureDevice = false;
    bool canRenderWindowed = true;
    // Formats the device takes as display and back-buffer format in full-screen use.
    std::vector<std::uint32_t> fullScreenFormats;
    // Depth-stencil formats the device accepts with those render targets.
    std::vector<std::uint32_t> depthFormats;
};

struct AdapterFacts {
    std::string identifier;
    ScreenMode desktop;
    std::vector<ScreenMode> modes;
    std::vector<DeviceFacts> devices;
};

struct DeviceRecord {
    DeviceType type = DeviceType::Hardware;
    std::string description;
    std::vector<DisplayMode> modes;
    std::size_t currentMode = 0;
    bool canDoWindowed = false;
    bool windowed = false;
    int multiSampleWindowed = 0;
    int multiSampleFullScreen = 0;
};

struct AdapterRecord {
    std::string identifier;
    ScreenMode desktop;
    std::vector<DeviceRecord> devices;
    std::size_t currentDevice = 0;
};

struct Enumeration {
    HostResult result = kHostOk;
    // Non-zero when the host starts on a reference device: shown as a kind-2 warning.
    HostResult warning = kHostOk;
    std::vector<AdapterRecord> adapters;   // only adapters with a usable device
    std::size_t currentAdapter = 0;
};

struct DepthRequirement {
    bool useDepthBuffer = false;
    int minDepthBits = 16;
    int minStencilBits = 0;
};

using ConfirmDevice =
    std::function<HostResult(const DeviceFacts&, std::uint32_t behaviour, std::uint32_t format)>;

Enumeration enumerateDevices(const std::vector<AdapterFacts>& adapters, const DepthRequirement& depth,
                             const ConfirmDevice& confirm);

// The first depth format of the preference order that meets the requirement and that
// `accepted` holds; 0 when none.
std::uint32_t chooseDepthStencilFormat(int minDepthBits, int minStencilBits,
                                       const std::vector<std::uint32_t>& accepted);

struct DepthBits {
    int depth = 0;
    int stencil = 0;
};
DepthBits depthFormatBits(std::uint32_t depthFormat);
// The format naming a buffer with these bits, rounding to the nearest that exists; 0 for
// no depth buffer.
std::uint32_t depthFormatFromBits(int depthBits, int stencilBits);
// " (D24S8)" and the like; empty for an unknown code.
std::string depthFormatSuffix(std::uint32_t depthFormat);

// The display format of a screen of this many bits per pixel.
std::uint32_t displayFormatFromDepth(int bitsPerPixel);

// "%.02f fps (%dx%dx%d)" with the depth and multisample suffixes.
std::string frameStatsText(float fps, int width, int height, std::uint32_t displayFormat,
                           bool useDepthBuffer, std::uint32_t depthFormat, int multiSample);

// A mode as the device dialog lists it, "%ld x %ld x %ld".
std::string displayModeText(const DisplayMode& mode);
// "none" or "%d samples".
std::string multiSampleText(int samples);

}  // namespace lnd
