// Skin files: whatever the bytes, parsing either gives colours that, written
// back as a skin file, parse to the same colours, or fails with a short,
// printable reason.
#include "app/Skin.h"

#include <cstdint>
#include <cstdio>
#include <exception>

#include "Invariant.h"

using glance::fuzz::printable;
using glance::fuzz::require;

namespace {

// A skin file holding every colour that a skin file can state ("#RRGGBB";
// the system colours a skin leaves alone cannot be written).
std::string skinFile(const glance::SkinColours& c) {
    std::string file = "[Skin]\r\n";
    const auto line = [&](const char* key, glance::Colour colour) {
        if (colour > 0xFFFFFF) return;
        char value[8];
        std::snprintf(value, sizeof value, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                      colour >> 16);
        file += std::string(key) + "=" + value + "\r\n";
    };
    line("WindowBack", c.windowBack);
    line("Text", c.text);
    line("ButtonFace", c.buttonFace);
    line("ButtonText", c.buttonText);
    line("ButtonBorder", c.buttonBorder);
    line("Accent", c.accent);
    return file;
}

bool sameColours(const glance::SkinColours& a, const glance::SkinColours& b) {
    return a.windowBack == b.windowBack && a.text == b.text && a.buttonFace == b.buttonFace &&
           a.buttonText == b.buttonText && a.buttonBorder == b.buttonBorder && a.accent == b.accent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    glance::SkinColours colours;
    try {
        colours = glance::parseSkin(bytes);
    } catch (const std::exception& rejection) {
        const std::string_view reason = rejection.what();
        require(!reason.empty() && reason.size() <= 512, "a rejection has a short reason");
        require(printable(reason), "a rejection's reason is printable");
        return 0;
    }
    try {
        require(sameColours(glance::parseSkin(skinFile(colours)), colours),
                "a skin written back reads the same");
    } catch (const std::exception&) {
        require(false, "a skin written back parses");
    }
    return 0;
}
