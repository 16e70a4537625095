// The settings file on any bytes: loading, the values every part of the editor asks for, the
// node iteration and the brush list.
#include "base/messages.h"
#include "base/settings.h"
#include "support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lndfuzz::SilentMessages messages;
    const std::string& path = lndfuzz::writeScratch("Vostrel.settings.xml", data, size);
    lnd::CSettings settings(messages, path);
    for (const char* name : {"exportRoot", "debug", "lodTest", "debugVideo", "cursorModel",
                             "//settings/renderEngine/seaParms/@alphaCoast", "/settings", "bad[[", "//*"})
        (void)settings.GetValue(name);
    if (settings.SelectNodes("//brush") > 0) {
        while (settings.NextNode() > 0) (void)settings.GetNodeValue("@name");
    }
    settings.EndNodes();
    std::size_t n = 0;
    for (const lnd::CBrushDef& b : settings.brushes()) n += b.name.size() + b.bitmap.pixels.size();
    (void)n;
    return 0;
}
