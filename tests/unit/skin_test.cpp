// The program title and the optional skin: what the window and the skin
// engine receive, in which order, and how a bad skin file fails.
#include "app/Skin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "NoEvents.h"
#include "app/LoadSequence.h"
#include "controller/MainWindowLayout.h"
#include "core/Product.h"

namespace glance {
namespace {

// Records every call the window's code makes on the engine.
struct RecordingEngine : SkinEngine {
    std::vector<std::string> calls;
    std::int32_t flagsRead = 6;
    void loadSkin(const std::wstring& path) override {
        calls.push_back("load '" + std::string(path.begin(), path.end()) + "'");
    }
    std::int32_t flags() override {
        calls.push_back("flags");
        return flagsRead;
    }
    void setFlags(std::int32_t flags) override { calls.push_back("flags " + std::to_string(flags)); }
    void setSkinButtons(bool on) override { calls.push_back(on ? "buttons on" : "buttons off"); }
    void setSkinFrame(bool on) override { calls.push_back(on ? "frame on" : "frame off"); }
    void applyToWindow(std::int32_t handle) override { calls.push_back("apply " + std::to_string(handle)); }
};

class SkinTest : public ::testing::Test {
protected:
    fake::FakePlatform fp;
    NoEvents events;
    std::unique_ptr<Window> window = fp.ui.createWindow(mainWindowLayout(), events);
    const std::wstring skinPath = fp.files.folder + L"\\x\\o.cjs";
};

TEST(AppTitle, ProductNameIsCutOnceToItsLastWord) {
    EXPECT_EQ(shortenTitle(kProductName), "Lumenfold Live Shell Glance Refresher");
}

TEST(AppTitle, CutsAtLeastOnceAndUntilWithinFortyCharacters) {
    EXPECT_EQ(shortenTitle("Short Name"), "Short");
    EXPECT_EQ(shortenTitle("aaaaaaaaaa bbbbbbbbbb cccccccccc dddddddddd eeeeeeeeee ffff"),
              "aaaaaaaaaa bbbbbbbbbb cccccccccc");
    EXPECT_THROW(shortenTitle("NoSpaceAtAll"), PlatformError);
}

TEST_F(SkinTest, WithoutSkinFileNothingChangesAndTheEngineIsNotCalled) {
    RecordingEngine engine;
    fp.files.fileMap[fp.files.folder + L"\\x\\o.cjs\\inner"] = {"", true};
    fp.files.fileMap[skinPath] = {"[Skin]\nText=#000000\n", false};  // hidden, or a folder: no match
    applySkinFile(fp.files, *window, engine);
    EXPECT_TRUE(engine.calls.empty());
    EXPECT_EQ(window->backColor(), kWhite);
    EXPECT_EQ(window->controlBackColor(ControlId::OptionsFrame), kWhite);
}

TEST_F(SkinTest, ColoursChangeFirstThenTheEngineIsCalledInOrder) {
    RecordingEngine engine;
    fp.files.fileMap[skinPath] = {"[Skin]\nText=#000000\n", true};
    applySkinFile(fp.files, *window, engine);
    EXPECT_EQ(window->backColor(), kSystemFace);
    for (ControlId id : {ControlId::OptionsFrame, ControlId::StartWithWindowsBox, ControlId::StartInTrayBox})
        EXPECT_EQ(window->controlBackColor(id), kSystemFace) << controlName(id);
    const std::string path(skinPath.begin(), skinPath.end());
    const std::vector<std::string> expected = {
        "load '" + path + "'",
        "flags",
        "flags 7",
        "buttons on",
        "frame on",
        "apply " + std::to_string(static_cast<std::int32_t>(window->handle()))};
    EXPECT_EQ(engine.calls, expected);
}

TEST_F(SkinTest, FlagBitZeroIsSetAndTheOtherBitsKept) {
    for (auto [read, written] : {std::pair{6, 7}, {1, 1}, {-2, -1}}) {
        RecordingEngine engine;
        engine.flagsRead = read;
        fp.files.fileMap[skinPath] = {"[Skin]\nText=#000000\n", true};
        applySkinFile(fp.files, *window, engine);
        EXPECT_EQ(engine.calls.at(2), "flags " + std::to_string(written));
    }
}

TEST_F(SkinTest, OurEngineAppliesTheFileColoursToTheWindow) {
    fake::FakeWindow& w = *fp.ui.window;
    ColourSkinEngine engine(fp.files, w);
    fp.files.fileMap[skinPath] = {
        "; slate\r\n[Skin]\r\nName=Slate\r\nwindowback=#203040\r\nButtonFace=#FF8000\r\n", true};
    applySkinFile(fp.files, w, engine);
    ASSERT_EQ(w.skins.size(), 1u);
    EXPECT_EQ(w.skins[0].windowBack, 0x403020u);
    EXPECT_EQ(w.skins[0].buttonFace, 0x0080FFu);
}

TEST_F(SkinTest, AnUnusableSkinFileFailsAfterTheColourChanges) {
    fake::FakeWindow& w = *fp.ui.window;
    for (const char* text : {"", "Text=#000000", "[Skin]\nText=red", "[Skin]\nGlow=#000000",
                             "[Other]\nText=#000000", "[Skin]\n; nothing\n"}) {
        ColourSkinEngine engine(fp.files, w);
        fp.files.fileMap[skinPath] = {text, true};
        w.setBackColor(kWhite);
        EXPECT_THROW(applySkinFile(fp.files, w, engine), PlatformError) << text;
        EXPECT_EQ(w.backColor(), kSystemFace) << text;
        EXPECT_TRUE(w.skins.empty());
    }
    fp.files.fileMap[skinPath] = {std::string(70000, ';'), true};
    ColourSkinEngine engine(fp.files, w);
    EXPECT_THROW(applySkinFile(fp.files, w, engine), PlatformError);
}

// The skin's bytes as UTF-16 with its byte-order mark, either byte order.
std::string utf16WithMark(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST_F(SkinTest, SkinLoadsInEveryEncodingAndLineEndThatNotepadSaves) {
    const std::string utf8Lf =
        "; Schiefer â dunkel ð\n[Skin]\nName=GrÃ¶Ã"
        "e\n"
        "WindowBack=#203040\nButtonFace=#FF8000\n";
    const std::u16string utf16Crlf =
        u"; Schiefer \u2013 dunkel \U0001F600\r\n[Skin]\r\nName=Gr\u00F6\u00DFe\r\nWindowBack=#203040\r\n"
        u"ButtonFace=#FF8000\r\n";
    auto withEnds = [&](const std::string& end) {
        std::string text;
        for (char c : utf8Lf) text += c == '\n' ? end : std::string(1, c);
        return text;
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"UTF-8, LF", utf8Lf},
        {"UTF-8, CR LF", withEnds("\r\n")},
        {"UTF-8, CR alone", withEnds("\r")},
        {"UTF-8 with its mark, CR LF", "\xEF\xBB\xBF" + withEnds("\r\n")},
        {"UTF-16 little-endian with its mark", utf16WithMark(utf16Crlf, false)},
        {"UTF-16 big-endian with its mark", utf16WithMark(utf16Crlf, true)},
        {"UTF-16 with CR alone", utf16WithMark(u"[Skin]\rWindowBack=#203040\rButtonFace=#FF8000", false)},
        {"ANSI, an accent in the comment", "; caf\xE9\r\n[Skin]\r\nWindowBack=#203040\r\nButtonFace=#FF8000"},
    };
    for (const auto& c : cases) {
        fake::FakeWindow& w = *fp.ui.window;
        w.skins.clear();
        ColourSkinEngine engine(fp.files, w);
        fp.files.fileMap[skinPath] = {c.bytes, true};
        EXPECT_NO_THROW(applySkinFile(fp.files, w, engine)) << c.what;
        ASSERT_EQ(w.skins.size(), 1u) << c.what;
        EXPECT_EQ(w.skins[0].windowBack, 0x403020u) << c.what;
        EXPECT_EQ(w.skins[0].buttonFace, 0x0080FFu) << c.what;
    }
}

// Every rejection is one error whose text names the line, quoting at most
// 60 printable characters of what was found there.
TEST_F(SkinTest, RejectionsNameTheLineAndQuoteAShortPrintableExcerpt) {
    const std::string sixtyK(60, 'k');
    const std::string nulSkin("[\0S\0k\0i\0n\0]\0\r\0\n\0", 16);
    const struct {
        const char* what;
        std::string bytes;
        std::string description;
    } cases[] = {
        {"a 60,000-character key", "[Skin]\n" + std::string(60000, 'K') + "=#FFFFFF\n",
         "Invalid skin file: unknown key " + sixtyK + "\xE2\x80\xA6 (line 2)"},
        {"control characters in a key", "[Skin]\r\nAb\x07\x1B[31mc\t=#FFFFFF\r\n",
         "Invalid skin file: unknown key ab\\x07\\x1B[31mc (line 2)"},
        {"a long section name", "[" + std::string(100, 'S') + "]",
         "Invalid skin file: unknown section [" + std::string(59, 'S') + "\xE2\x80\xA6 (line 1)"},
        {"CR line ends count lines", "; one\r[Skin]\rText=#000000\rGlow=#000000\r",
         "Invalid skin file: unknown key glow (line 4)"},
        {"UTF-16 lines count the same", utf16WithMark(u"[Skin]\r\nGl\u00F6w=#000000", false),
         "Invalid skin file: unknown key gl\xC3\xB6w (line 2)"},
        {"UTF-16 without its mark", nulSkin,
         "Invalid skin file: unknown section [\\x00S\\x00k\\x00i\\x00n\\x00]\\x00 (line 1)"},
        {"UTF-16 cut in the middle of a unit", utf16WithMark(u"[Skin]", false) + "T",
         "Invalid skin file: not UTF-16 text"},
        {"UTF-16 with a lone low surrogate", utf16WithMark(u"[Skin]\n; \xDC00", false),
         "Invalid skin file: not UTF-16 text"},
        {"UTF-16 ending in a high surrogate", utf16WithMark(u"[Skin]\n; \xD800", true),
         "Invalid skin file: not UTF-16 text"},
        {"a file of 64 KiB and one byte", "[Skin]\nText=#000000\n" + std::string(64 * 1024, ';'),
         "Invalid skin file: larger than 64 KiB"},
        {"a file of 1 MiB", std::string(1024 * 1024, ';'), "Invalid skin file: larger than 64 KiB"},
    };
    for (const auto& c : cases) {
        ColourSkinEngine engine(fp.files, *window);
        fp.files.fileMap[skinPath] = {c.bytes, true};
        try {
            engine.loadSkin(skinPath);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.description(), c.description) << c.what;
        }
        EXPECT_FALSE(engine.loaded()) << c.what;
    }
}

TEST_F(SkinTest, AFileOfExactly64KiBStillLoads) {
    std::string bytes = "[Skin]\nText=#102030\n";
    bytes += std::string(64 * 1024 - bytes.size(), ';');
    ColourSkinEngine engine(fp.files, *window);
    fp.files.fileMap[skinPath] = {bytes, true};
    engine.loadSkin(skinPath);
    EXPECT_TRUE(engine.loaded());
}

TEST_F(SkinTest, EngineRefusesAWindowThatIsNotItsOwn) {
    ColourSkinEngine engine(fp.files, *window);
    fp.files.fileMap[skinPath] = {"[Skin]\nText=#000000\n", true};
    engine.loadSkin(skinPath);
    EXPECT_THROW(engine.applyToWindow(1234), PlatformError);
}

}  // namespace
}  // namespace glance
