// The skin engine of the main window. It is driven by member ids, as the
// window's start-up code calls it: 2 loads a skin file, 1 holds flag bits,
// 5 and 10 switch options on, 3 applies the loaded skin to a window.
//
// Skin file format (text, at most 64 KiB: UTF-8 with or without its mark, or
// UTF-16 with its mark; lines end with CR LF, LF or CR):
//   ; comment            (lines starting with ';' or '#' and blank lines are ignored)
//   [Skin]               (required before any colour)
//   Name=Slate           (optional)
//   WindowBack=#RRGGBB   (window, frame and check box background)
//   Text=#RRGGBB         (frame and check box text)
//   ButtonFace=#RRGGBB   ButtonText=#RRGGBB   ButtonBorder=#RRGGBB
//   Accent=#RRGGBB       (focus cue and hover border)
// Keys are case-insensitive; a colour left out keeps its default (the system
// face and button-text colours). Any other key or value, a missing [Skin]
// section or a file without a single colour is an error.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Ui.h"

namespace glance {

// Parses a skin file's bytes; throws PlatformError naming the line at fault,
// with at most a short, printable quote of it.
SkinColours parseSkin(const std::string& bytes);

// A skin engine as the window's code drives it: methods and properties by id.
class SkinEngine {
public:
    using Argument = std::variant<std::int32_t, std::wstring>;
    virtual ~SkinEngine() = default;
    virtual void call(int member, const std::vector<Argument>& arguments) = 0;
    virtual std::int32_t get(int member) = 0;
    virtual void put(int member, std::int32_t value) = 0;
};

class ColourSkinEngine : public SkinEngine {
public:
    // Member ids.
    static constexpr int kFlags = 1;
    static constexpr int kLoadSkin = 2;
    static constexpr int kApplyWindow = 3;
    static constexpr int kSkinButtons = 5;
    static constexpr int kSkinFrame = 10;
    static constexpr std::int32_t kFlagEnabled = 1;  // bit 0: the skin is drawn at all

    ColourSkinEngine(FileSystem& files, Window& window) : files_(files), window_(window) {}

    void call(int member, const std::vector<Argument>& arguments) override;
    std::int32_t get(int member) override;
    void put(int member, std::int32_t value) override;

    bool loaded() const { return loaded_; }

private:
    FileSystem& files_;
    Window& window_;
    SkinColours colours_;
    bool loaded_ = false;
    std::int32_t flags_ = 0;
    bool skinButtons_ = false;
    bool skinFrame_ = false;
};

// Gives the main window the optional skin from "x\o.cjs" beside the program.
void applySkinFile(FileSystem& files, Window& window, SkinEngine& skin);

}  // namespace glance
