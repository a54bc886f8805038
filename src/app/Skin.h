// The skin engine of the main window: it loads a skin file, holds flag bits
// and two options, and applies the loaded skin to the window.
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

#include "platform/FileSystem.h"
#include "platform/Ui.h"

namespace glance {

// Parses a skin file's bytes; throws PlatformError naming the line at fault,
// with at most a short, printable quote of it.
SkinColours parseSkin(const std::string& bytes);

// A skin engine, as the window's start-up code drives it.
class SkinEngine {
public:
    virtual ~SkinEngine() = default;
    virtual void loadSkin(const std::wstring& path) = 0;
    // Bit 0 (kFlagEnabled): the skin is drawn at all; other bits are kept.
    virtual std::int32_t flags() = 0;
    virtual void setFlags(std::int32_t flags) = 0;
    virtual void setSkinButtons(bool on) = 0;
    virtual void setSkinFrame(bool on) = 0;
    // Applies the loaded skin to the window with that handle.
    virtual void applyToWindow(std::int32_t handle) = 0;
};

class ColourSkinEngine : public SkinEngine {
public:
    static constexpr std::int32_t kFlagEnabled = 1;

    ColourSkinEngine(FileSystem& files, Window& window) : files_(files), window_(window) {}

    void loadSkin(const std::wstring& path) override;
    std::int32_t flags() override { return flags_; }
    void setFlags(std::int32_t flags) override { flags_ = flags; }
    void setSkinButtons(bool on) override { skinButtons_ = on; }
    void setSkinFrame(bool on) override { skinFrame_ = on; }
    void applyToWindow(std::int32_t handle) override;

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
