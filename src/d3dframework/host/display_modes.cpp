#include "d3dframework/host/display_modes.h"

#include <algorithm>
#include <cstdio>

namespace lnd {

namespace {

bool contains(const std::vector<std::uint32_t>& list, std::uint32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool is16BitFormat(std::uint32_t format) {
    return format == kFormatR5G6B5 || format == kFormatX1R5G5B5 || format == kFormatA1R5G5B5;
}

// The behaviour the owner confirms for this format, 0 when it confirms none.
std::uint32_t confirmBehaviour(const DeviceFacts& device, std::uint32_t format,
                               const ConfirmDevice& confirm) {
    auto accepts = [&](std::uint32_t behaviour) {
        return !confirm || !hostFailed(confirm(device, behaviour, format));
    };
    if (device.hardwareTransformAndLight) {
        if (device.pureDevice && accepts(kBehaviourPureHardware)) {
            return kBehaviourPureHardware;
        }
        if (accepts(kBehaviourHardware)) {
            return kBehaviourHardware;
        }
        if (accepts(kBehaviourMixed)) {
            return kBehaviourMixed;
        }
    }
    return accepts(kBehaviourSoftware) ? kBehaviourSoftware : 0;
}

}  // namespace

bool displayModeBefore(const ScreenMode& a, const ScreenMode& b) {
    if (a.format != b.format) {
        return a.format > b.format;
    }
    if (a.width != b.width) {
        return a.width < b.width;
    }
    return a.height < b.height;
}

std::uint32_t chooseDepthStencilFormat(int minDepthBits, int minStencilBits,
                                       const std::vector<std::uint32_t>& accepted) {
    struct Candidate {
        std::uint32_t format;
        int maxDepth;
        int maxStencil;
    };
    static constexpr Candidate kOrder[] = {
        {kDepthD16, 16, 0},    {kDepthD15S1, 15, 1},   {kDepthD24X8, 24, 0},
        {kDepthD24S8, 24, 8},  {kDepthD24X4S4, 24, 4}, {kDepthD32, 32, 0},
    };
    for (const Candidate& c : kOrder) {
        if (minDepthBits <= c.maxDepth && minStencilBits <= c.maxStencil && contains(accepted, c.format)) {
            return c.format;
        }
    }
    return 0;
}

Enumeration enumerateDevices(const std::vector<AdapterFacts>& adapters, const DepthRequirement& depth,
                             const ConfirmDevice& confirm) {
    Enumeration out;
    bool halExists = false;
    bool halSampleCompatible = false;
    bool halWindowedCompatible = false;
    bool halDesktopCompatible = false;

    for (const AdapterFacts& adapter : adapters) {
        std::vector<ScreenMode> modes;
        std::vector<std::uint32_t> formats{adapter.desktop.format};
        for (const ScreenMode& m : adapter.modes) {
            if (m.width < 640 || m.height < 400) {
                continue;
            }
            if (std::find(modes.begin(), modes.end(), m) == modes.end()) {
                modes.push_back(m);
            }
            if (!contains(formats, m.format)) {
                formats.push_back(m.format);
            }
        }
        std::stable_sort(modes.begin(), modes.end(), displayModeBefore);

        AdapterRecord record;
        record.identifier = adapter.identifier;
        record.desktop = adapter.desktop;
        for (const DeviceFacts& device : adapter.devices) {
            const bool hardware = device.type == DeviceType::Hardware;
            halExists = halExists || hardware;
            std::vector<std::uint32_t> behaviour(formats.size(), 0);
            std::vector<std::uint32_t> depthFormat(formats.size(), 0);
            for (std::size_t f = 0; f < formats.size(); ++f) {
                if (!contains(device.fullScreenFormats, formats[f])) {
                    continue;
                }
                const std::uint32_t b = confirmBehaviour(device, formats[f], confirm);
                if (b == 0) {
                    continue;
                }
                if (depth.useDepthBuffer) {
                    depthFormat[f] = chooseDepthStencilFormat(depth.minDepthBits, depth.minStencilBits,
                                                              device.depthFormats);
                    if (depthFormat[f] == 0) {
                        continue;
                    }
                }
                behaviour[f] = b;
            }

            DeviceRecord dev;
            dev.type = device.type;
            dev.description = device.description;
            bool currentFound = false;
            for (const ScreenMode& m : modes) {
                const std::size_t f =
                    static_cast<std::size_t>(std::find(formats.begin(), formats.end(), m.format) - formats.begin());
                if (behaviour[f] == 0) {
                    continue;
                }
                dev.modes.push_back({m.width, m.height, m.format, behaviour[f], depthFormat[f]});
                if (m.width == 640 && m.height == 480 && !currentFound) {
                    dev.currentMode = dev.modes.size() - 1;
                    currentFound = is16BitFormat(m.format);
                }
            }
            const bool desktopUsable = behaviour[0] != 0;
            if (desktopUsable && device.canRenderWindowed) {
                dev.canDoWindowed = true;
                dev.windowed = true;
            }
            if (dev.modes.empty()) {
                continue;
            }
            if (hardware) {
                halSampleCompatible = true;
                halWindowedCompatible = halWindowedCompatible || device.canRenderWindowed;
                halDesktopCompatible = halDesktopCompatible || (device.canRenderWindowed && desktopUsable);
            }
            record.devices.push_back(std::move(dev));
        }
        if (!record.devices.empty()) {
            out.adapters.push_back(std::move(record));
        }
    }

    if (out.adapters.empty()) {
        out.result = kHostNoCompatibleDevices;
        return out;
    }
    for (std::size_t a = 0; a < out.adapters.size(); ++a) {
        AdapterRecord& adapter = out.adapters[a];
        for (std::size_t d = 0; d < adapter.devices.size(); ++d) {
            if (!adapter.devices[d].windowed) {
                continue;
            }
            out.currentAdapter = a;
            adapter.currentDevice = d;
            if (adapter.devices[d].type == DeviceType::Reference) {
                if (!halExists) {
                    out.warning = kHostNoHardwareDevice;
                } else if (!halSampleCompatible) {
                    out.warning = kHostHardwareUnusable;
                } else if (!halWindowedCompatible) {
                    out.warning = kHostNoWindowedHardware;
                } else if (!halDesktopCompatible) {
                    out.warning = kHostNoDesktopWindowed;
                } else {
                    out.warning = kHostNoWindowedHardwareModes;
                }
            }
            return out;
        }
    }
    out.result = kHostNoWindowedDevice;
    return out;
}

DepthBits depthFormatBits(std::uint32_t depthFormat) {
    switch (depthFormat) {
    case kDepthD32: return {32, 0};
    case kDepthD15S1: return {15, 1};
    case kDepthD24S8: return {24, 8};
    case kDepthD24X8: return {24, 0};
    case kDepthD24X4S4: return {24, 4};
    case kDepthD16: return {16, 0};
    default: return {0, 0};
    }
}

std::uint32_t depthFormatFromBits(int depthBits, int stencilBits) {
    if (depthBits <= 0) {
        return 0;
    }
    if (depthBits >= 32 && stencilBits == 0) {
        return kDepthD32;
    }
    if (depthBits >= 24) {
        if (stencilBits >= 8) {
            return kDepthD24S8;
        }
        return stencilBits >= 4 ? kDepthD24X4S4 : kDepthD24X8;
    }
    if (depthBits == 15 || stencilBits > 0) {
        return kDepthD15S1;
    }
    return kDepthD16;
}

std::string depthFormatSuffix(std::uint32_t depthFormat) {
    switch (depthFormat) {
    case kDepthD32: return " (D32)";
    case kDepthD15S1: return " (D15S1)";
    case kDepthD24S8: return " (D24S8)";
    case kDepthD24X8: return " (D24X8)";
    case kDepthD24X4S4: return " (D24X4S4)";
    case kDepthD16: return " (D16)";
    default: return {};
    }
}

std::uint32_t displayFormatFromDepth(int bitsPerPixel) {
    if (bitsPerPixel >= 24) {
        return kFormatX8R8G8B8;
    }
    return bitsPerPixel == 15 ? kFormatX1R5G5B5 : kFormatR5G6B5;
}

std::string frameStatsText(float fps, int width, int height, std::uint32_t displayFormat,
                           bool useDepthBuffer, std::uint32_t depthFormat, int multiSample) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%.02f fps (%dx%dx%d)", static_cast<double>(fps), width, height,
                  displayFormat == kFormatX8R8G8B8 ? 32 : 16);
    std::string text = buffer;
    if (useDepthBuffer) {
        text += depthFormatSuffix(depthFormat);
    }
    if (multiSample >= 2 && multiSample <= 16) {
        std::snprintf(buffer, sizeof buffer, " (%dx Multisample)", multiSample);
        text += buffer;
    }
    return text;
}

std::string displayModeText(const DisplayMode& mode) {
    const bool deep = mode.format >= kFormatR8G8B8 && mode.format <= kFormatX8R8G8B8;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%ld x %ld x %ld", static_cast<long>(mode.width),
                  static_cast<long>(mode.height), deep ? 32L : 16L);
    return buffer;
}

std::string multiSampleText(int samples) {
    if (samples == 0) {
        return "none";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d samples", samples);
    return buffer;
}

}  // namespace lnd
