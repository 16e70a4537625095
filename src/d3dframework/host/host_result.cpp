#include "d3dframework/host/host_result.h"

namespace lnd {

namespace {

const char* baseText(HostResult code) {
    switch (static_cast<std::uint32_t>(code)) {
    case 0x8007000Eu: return "Not enough memory.";
    case 0x82000001u:
        return "Could not initialize Direct3D. You may\nwant to check that the latest version of\n"
               "DirectX is correctly installed on your\nsystem.  Also make sure that this program\n"
               "was compiled with header files that match\nthe installed DirectX DLLs.";
    case 0x82000003u: return "Could not find any compatible Direct3D\ndevices.";
    case 0x82000004u:
        return "This sample cannot run in a desktop\nwindow with the current display settings.\n"
               "Please change your desktop settings to a\n16- or 32-bit display mode and re-run this\n"
               "sample.";
    case 0x82000005u: return "No hardware-accelerated Direct3D devices\nwere found.";
    case 0x82000006u:
        return "This sample requires functionality that is\nnot available on your Direct3D hardware\n"
               "accelerator.";
    case 0x82000007u:
        return "Your Direct3D hardware accelerator cannot\nrender into a window.\n"
               "Press F2 while the app is running to see a\nlist of available devices and modes.";
    case 0x82000008u:
        return "Your Direct3D hardware accelerator cannot\nrender into a window with the current\n"
               "desktop display settings.\n"
               "Press F2 while the app is running to see a\nlist of available devices and modes.";
    case 0x82000009u:
        return "This sample requires functionality that is\nnot available on your Direct3D hardware\n"
               "accelerator with the current desktop display\nsettings.\n"
               "Press F2 while the app is running to see a\nlist of available devices and modes.";
    case 0x8200000Au:
        return "A D3D object has a non-zero reference\ncount (meaning things were not properly\n"
               "cleaned up).";
    case 0x8200000Bu: return "Could not load required media.";
    case 0x8200000Cu: return "Could not reset the Direct3D device.";
    case 0x8876017Cu: return "Not enough video memory.";
    default:
        return "Generic application error. Enable\ndebug output for detailed information.";
    }
}

}  // namespace

std::string hostErrorText(HostResult code, HostErrorKind kind) {
    std::string text = baseText(code);
    if (kind == HostErrorKind::Fatal) {
        text += "\n\nThis sample will now exit.";
    } else if (kind == HostErrorKind::SwitchingToReference) {
        text += "\n\nSwitching to the reference rasterizer,\na software device that implements the "
                "entire\nDirect3D feature set, but runs very slowly.";
    }
    return text;
}

}  // namespace lnd
