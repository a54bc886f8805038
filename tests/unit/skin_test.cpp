// The program title and the optional skin: what the window and the skin
// engine receive, in which order, and how a bad skin file fails.
#include "app/Skin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "app/AppTitle.h"
#include "core/Product.h"
#include "ui/MainWindowLayout.h"

namespace glance {
namespace {

struct NoEvents : WindowEvents {
    void onQueryUnload() override {}
    void onResize() override {}
    void onMouseMove(ControlId) override {}
    void onClick(ControlId) override {}
    void onTimer(ControlId) override {}
};

// Records every call the window's code makes on the engine.
struct RecordingEngine : SkinEngine {
    std::vector<std::string> calls;
    std::int32_t flags = 6;
    void call(int member, const std::vector<Argument>& args) override {
        std::string c = "call " + std::to_string(member);
        for (auto& a : args) {
            if (auto* s = std::get_if<std::wstring>(&a)) c += " '" + std::string(s->begin(), s->end()) + "'";
            if (auto* i = std::get_if<std::int32_t>(&a)) c += " " + std::to_string(*i);
        }
        calls.push_back(c);
    }
    std::int32_t get(int member) override {
        calls.push_back("get " + std::to_string(member));
        return flags;
    }
    void put(int member, std::int32_t value) override {
        calls.push_back("put " + std::to_string(member) + " " + std::to_string(value));
    }
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
    fake::FakePlatform fp;
    setAppTitle(fp.system);
    EXPECT_EQ(fp.system.appTitle(), "Lumenfold Live Shell Glance Refresher");
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
        "call 2 '" + path + "' ''",
        "get 1",
        "put 1 7",
        "put 5 -1",
        "put 10 -1",
        "call 3 " + std::to_string(static_cast<std::int32_t>(window->handle()))};
    EXPECT_EQ(engine.calls, expected);
}

TEST_F(SkinTest, FlagBitZeroIsSetAndTheOtherBitsKept) {
    for (auto [read, written] : {std::pair{6, 7}, {1, 1}, {-2, -1}}) {
        RecordingEngine engine;
        engine.flags = read;
        fp.files.fileMap[skinPath] = {"[Skin]\nText=#000000\n", true};
        applySkinFile(fp.files, *window, engine);
        EXPECT_EQ(engine.calls.at(2), "put 1 " + std::to_string(written));
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

TEST_F(SkinTest, EngineRefusesAWindowThatIsNotItsOwn) {
    ColourSkinEngine engine(fp.files, *window);
    fp.files.fileMap[skinPath] = {"[Skin]\nText=#000000\n", true};
    engine.call(ColourSkinEngine::kLoadSkin, {skinPath, std::wstring()});
    EXPECT_THROW(engine.call(ColourSkinEngine::kApplyWindow, {std::int32_t{1234}}), PlatformError);
    EXPECT_THROW(engine.put(99, 1), PlatformError);
}

}  // namespace
}  // namespace glance
