// The registry settings store under Wine: round trips, missing entries, bad
// stored data and a store that refuses access.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/Error.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Settings.h"
#include "platform/win32/Win32System.h"

namespace glance::win32 {
namespace {

const std::string kSection = "Lumenfold Live Shell Glance Refresher Utility";

// An application name of this test run's own, removed with all it holds.
class TestApplication {
public:
    TestApplication() : name_("GlanceSettingsTest-" + std::to_string(GetCurrentProcessId())) { remove(); }
    ~TestApplication() { remove(); }
    const std::string& name() const { return name_; }
    std::wstring key(const std::string& section = kSection) const {
        return std::wstring(kSettingsRoot) + L"\\" + widenUtf8(name_) +
               (section.empty() ? L"" : L"\\" + widenUtf8(section));
    }
    bool exists(const std::wstring& path) const {
        UniqueHkey k;
        return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
    }
    // Writes a value exactly as given, bypassing the store.
    void setRaw(const std::string& value, DWORD type, const void* data, DWORD bytes) const {
        UniqueHkey k;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  k.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(
            RegSetValueExW(k.get(), widenUtf8(value).c_str(), 0, type, static_cast<const BYTE*>(data), bytes),
            ERROR_SUCCESS);
    }
    struct Raw {
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
        bool operator==(const Raw&) const = default;
    };
    Raw getRaw(const std::string& value) const {
        UniqueHkey k;
        Raw raw;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key().c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS)
            return raw;
        DWORD size = 0;
        RegQueryValueExW(k.get(), widenUtf8(value).c_str(), nullptr, &raw.type, nullptr, &size);
        raw.bytes.resize(size);
        RegQueryValueExW(k.get(), widenUtf8(value).c_str(), nullptr, &raw.type, raw.bytes.data(), &size);
        return raw;
    }

private:
    void remove() const {
        RegDeleteTreeW(HKEY_CURRENT_USER, key("").c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, key("").c_str());
    }
    std::string name_;
};

TEST(Win32Settings, SavedValuesReadBackExactlyAsRegSz) {
    const std::vector<std::string> values = {"On", "Off", "on", "", "Ünïcødé ✓ 設定", std::string(5000, 'x')};
    TestApplication app;
    Win32Settings store;
    for (const auto& value : values) {
        store.save(app.name(), kSection, "StartStopState", value);
        EXPECT_EQ(store.read(app.name(), kSection, "StartStopState", "Off"), value) << value.substr(0, 20);
        EXPECT_EQ(app.getRaw("StartStopState").type, static_cast<DWORD>(REG_SZ));
    }
    // A save replaces; other keys stay apart.
    store.save(app.name(), kSection, "Minimized", "On");
    store.save(app.name(), kSection, "Minimized", "Off");
    EXPECT_EQ(store.read(app.name(), kSection, "Minimized", "x"), "Off");
    EXPECT_EQ(store.read(app.name(), kSection, "Windows Startup", "x"), "x");
}

TEST(Win32Settings, MissingApplicationSectionOrKeyReadsTheDefaultAndCreatesNothing) {
    TestApplication app;
    Win32Settings store;
    EXPECT_EQ(store.read(app.name(), kSection, "StartStopState", "Off"), "Off");
    EXPECT_FALSE(app.exists(app.key("")));

    store.save(app.name(), "Other Section", "StartStopState", "On");
    EXPECT_EQ(store.read(app.name(), kSection, "StartStopState", "Off"), "Off");
    EXPECT_FALSE(app.exists(app.key()));

    store.save(app.name(), kSection, "Minimized", "On");
    EXPECT_EQ(store.read(app.name(), kSection, "StartStopState", "Off"), "Off");
    EXPECT_EQ(app.getRaw("StartStopState").type, static_cast<DWORD>(REG_NONE));
}

TEST(Win32Settings, BadStoredDataReadsAsDocumentedAndIsLeftUnchanged) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> bytes;
        std::string expected;
    };
    auto wide = [](const std::wstring& text, std::size_t extraNuls) {
        std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                                reinterpret_cast<const BYTE*>(text.data() + text.size()));
        bytes.resize(bytes.size() + extraNuls * 2, 0);
        return bytes;
    };
    std::vector<BYTE> huge = wide(std::wstring(3 * 1024 * 1024, L'n'), 1);
    const std::vector<Case> cases = {
        {"REG_DWORD", REG_DWORD, {1, 0, 0, 0}, ""},
        {"REG_BINARY spelling On", REG_BINARY, wide(L"On", 1), ""},
        {"REG_MULTI_SZ", REG_MULTI_SZ, wide(L"On", 2), ""},
        {"REG_SZ with no bytes", REG_SZ, {}, ""},
        {"REG_SZ empty", REG_SZ, wide(L"", 1), ""},
        {"REG_SZ with an embedded NUL", REG_SZ, wide(std::wstring(L"Of\0f", 4), 1), "Of"},
        {"REG_SZ without its NUL", REG_SZ, wide(L"On", 0), "On"},
        {"REG_SZ with an odd byte count", REG_SZ, {'O', 0, 'n', 0, 'x'}, "On"},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, wide(L"%TEMP%", 1), "%TEMP%"},
        {"REG_SZ of megabytes", REG_SZ, huge, ""},
    };
    TestApplication app;
    Win32Settings store;
    for (const auto& c : cases) {
        app.setRaw("Minimized", c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size()));
        const auto before = app.getRaw("Minimized");
        EXPECT_EQ(store.read(app.name(), kSection, "Minimized", "Off"), c.expected) << c.name;
        EXPECT_TRUE(app.getRaw("Minimized") == before) << c.name << " was rewritten";
    }
}

// A key whose access list allows its owner nothing but to change that list.
void DenyAllAccess(const std::wstring& path) {
    UniqueHkey k;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, k.put()), ERROR_SUCCESS);
    ACL empty;
    ASSERT_TRUE(InitializeAcl(&empty, sizeof(empty), ACL_REVISION));
    ASSERT_EQ(SetSecurityInfo(k.get(), SE_REGISTRY_KEY,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &empty, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
}

void AllowAllAccess(const std::wstring& path) {
    UniqueHkey k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, k.put()) != ERROR_SUCCESS) return;
    SetSecurityInfo(k.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
}

TEST(Win32Settings, SectionThatDeniesAccessRaisesOnReadAndSave) {
    TestApplication app;
    Win32Settings store;
    store.save(app.name(), kSection, "StartStopState", "On");
    DenyAllAccess(app.key());
    auto expectDenied = [](auto&& operation, const char* what) {
        try {
            operation();
            ADD_FAILURE() << what << " did not raise";
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.description(), "Permission denied") << what;
        }
    };
    expectDenied([&] { store.read(app.name(), kSection, "StartStopState", "Off"); }, "read");
    expectDenied([&] { store.save(app.name(), kSection, "StartStopState", "Off"); }, "save");
    AllowAllAccess(app.key());
    EXPECT_EQ(store.read(app.name(), kSection, "StartStopState", "Off"), "On");
}

// A volatile application key cannot hold a lasting section: the save fails.
TEST(Win32Settings, SaveThatTheRegistryRefusesRaisesAndStoresNothing) {
    TestApplication app;
    UniqueHkey volatileKey;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, app.key("").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileKey.put(), nullptr),
              ERROR_SUCCESS);
    Win32Settings store;
    EXPECT_THROW(store.save(app.name(), kSection, "StartStopState", "On"), PlatformError);
    EXPECT_EQ(store.read(app.name(), kSection, "StartStopState", "Off"), "Off");
}

TEST(Win32Settings, EmptyApplicationOrSectionIsAnInvalidCall) {
    Win32Settings store;
    EXPECT_THROW(store.read("", kSection, "StartStopState", "Off"), PlatformError);
    EXPECT_THROW(store.save("GlanceSettingsTest", "", "StartStopState", "On"), PlatformError);
}

}  // namespace
}  // namespace glance::win32
