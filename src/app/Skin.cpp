#include "app/Skin.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "core/Error.h"
#include "core/Unicode.h"
#include "platform/Types.h"

namespace glance {
namespace {

constexpr std::size_t kMaxSkinFile = 64 * 1024;
constexpr const char* kTooLarge = "Invalid skin file: larger than 64 KiB";

// The file's text as UTF-8, in the encodings Notepad saves: UTF-8 with or
// without its mark, and UTF-16 ("Unicode") little- or big-endian with its
// mark. Any other file is taken byte for byte: only ASCII carries meaning in
// a skin, so a file saved as ANSI with an accent in a comment still loads,
// and one that is no text at all fails on its first line.
std::string skinText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    const bool bigEndian = bytes.starts_with("\xFE\xFF");
    if (!bigEndian && !bytes.starts_with("\xFF\xFE")) return std::string(bytes);
    // A lone surrogate or an odd byte at the end means the file is not the
    // text its mark announces.
    const std::u16string units = utf16Units(bytes.substr(2), bigEndian);
    if (bytes.size() % 2 != 0 || !isWellFormedUtf16(units))
        throw PlatformError("Invalid skin file: not UTF-16 text");
    return utf16ToUtf8(units);
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

[[noreturn]] void bad(int line, const std::string& why) {
    throw PlatformError("Invalid skin file: " + why + " (line " + std::to_string(line) + ")");
}

// "#RRGGBB" to a colour value 0x00BBGGRR.
Colour parseColour(std::string_view v, int line) {
    if (v.size() != 7 || v[0] != '#' ||
        !std::all_of(v.begin() + 1, v.end(), [](unsigned char c) { return std::isxdigit(c); }))
        bad(line, "colour must be #RRGGBB");
    const auto rgb = static_cast<Colour>(std::stoul(std::string(v.substr(1)), nullptr, 16));
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

}  // namespace

SkinColours parseSkin(const std::string& bytes) {
    if (bytes.size() > kMaxSkinFile) throw PlatformError(kTooLarge);
    const std::string text = skinText(bytes);
    SkinColours colours;
    bool inSection = false;
    int coloursSeen = 0;
    int lineNo = 0;
    std::string_view rest(text);
    while (!rest.empty()) {
        // A line ends at CR LF, LF or a lone CR.
        auto end = rest.find_first_of("\r\n");
        std::string_view line = trim(rest.substr(0, end));
        if (end != std::string_view::npos && rest[end] == '\r' && end + 1 < rest.size() &&
            rest[end + 1] == '\n')
            ++end;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++lineNo;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            if (lower(line) != "[skin]") bad(lineNo, "unknown section " + printableExcerpt(line));
            inSection = true;
            continue;
        }
        if (!inSection) bad(lineNo, "[Skin] section expected");
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) bad(lineNo, "expected Key=Value");
        const std::string key = lower(trim(line.substr(0, eq)));
        const std::string_view value = trim(line.substr(eq + 1));
        if (key == "name") continue;
        Colour* target = key == "windowback"     ? &colours.windowBack
                         : key == "text"         ? &colours.text
                         : key == "buttonface"   ? &colours.buttonFace
                         : key == "buttontext"   ? &colours.buttonText
                         : key == "buttonborder" ? &colours.buttonBorder
                         : key == "accent"       ? &colours.accent
                                                 : nullptr;
        if (!target) bad(lineNo, "unknown key " + printableExcerpt(key));
        *target = parseColour(value, lineNo);
        ++coloursSeen;
    }
    if (coloursSeen == 0) throw PlatformError("Invalid skin file: no colours");
    return colours;
}

void ColourSkinEngine::loadSkin(const std::wstring& path) {
    // A file too large to be a skin is refused before any of it is read.
    const auto bytes = files_.readFile(path, kMaxSkinFile);
    if (!bytes) throw PlatformError(kTooLarge);
    colours_ = parseSkin(*bytes);
    loaded_ = true;
}

void ColourSkinEngine::applyToWindow(std::int32_t handle) {
    if (static_cast<std::uint32_t>(handle) != static_cast<std::uint32_t>(window_.handle()))
        throw PlatformError(errtext::kInvalidCall);
    if (!loaded_ || !(flags_ & kFlagEnabled)) return;
    SkinColours applied = colours_;
    const SkinColours plain;
    if (!skinButtons_) {
        applied.buttonFace = kWhite;
        applied.buttonText = plain.buttonText;
        applied.buttonBorder = plain.buttonBorder;
        applied.accent = plain.accent;
    }
    if (!skinFrame_) {
        applied.windowBack = plain.windowBack;
        applied.text = plain.text;
    }
    window_.applySkin(applied);
}

void applySkinFile(FileSystem& files, Window& window, SkinEngine& skin) {
    const std::wstring path = files.programFolder() + L"\\x\\o.cjs";
    if (!files.plainFileExists(path)) return;

    window.setBackColor(kSystemFace);
    for (const auto& [id, kind] : window.controls())
        if (takesBackColor(kind)) window.setControlBackColor(id, kSystemFace);
    skin.loadSkin(path);
    skin.setFlags(skin.flags() | ColourSkinEngine::kFlagEnabled);
    skin.setSkinButtons(true);
    skin.setSkinFrame(true);
    skin.applyToWindow(static_cast<std::int32_t>(window.handle()));
}

}  // namespace glance
