// A Group Policy refresh reaches the main window; the user's own number is
// read from the settings key as a policy value is, by its stored type.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "NoEvents.h"
#include "controller/MainWindowLayout.h"
#include "platform/win32/Win32Settings.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {
namespace {

struct PolicyEvents : NoEvents {
    int refreshes = 0;
    void onPoliciesChanged() override { ++refreshes; }
};

TEST(PolicyRefresh, OnlyThePolicyBroadcastIsRaised) {
    PolicyEvents events;
    Win32Window window(mainWindowLayout(), events);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"),
                        SMTO_ABORTIFHUNG, 5000, &answer);
    SendMessageW(window.window(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"));
    EXPECT_EQ(events.refreshes, 1);
}

TEST(UsersOwnNumber, OnlyADwordIsANumberAndAMissingValueIsNone) {
    const wchar_t* key =
        L"Software\\VB and VBA Program Settings\\Quillhaven\\Lumenfold Live Shell Glance Refresher Utility";
    const DWORD one = 1;
    const std::uint64_t wide = 1;
    const struct {
        DWORD type;
        const void* data;
        DWORD bytes;
        std::optional<PolicyData> read;
    } rows[] = {{REG_DWORD, &one, sizeof one, PolicyData{true, 1}},
                {REG_SZ, L"1", 4, PolicyData{false, 0}},
                {REG_QWORD, &wide, sizeof wide, PolicyData{false, 0}},
                {REG_NONE, nullptr, 0, std::nullopt}};
    // Whether it is a number, and which; other data's bytes say nothing.
    const auto asRead = [](const std::optional<PolicyData>& data) {
        return data ? std::optional(std::pair(data->isNumber, data->isNumber ? data->number : 0u))
                    : std::nullopt;
    };
    Win32AdminSettings admin;
    for (const auto& row : rows) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"DisableHomePageVisit");
        const LSTATUS written = row.data ? RegSetKeyValueW(HKEY_CURRENT_USER, key, L"DisableHomePageVisit",
                                                           row.type, row.data, row.bytes)
                                         : ERROR_SUCCESS;
        ASSERT_EQ(written, ERROR_SUCCESS);
        EXPECT_EQ(asRead(admin.usersOwnNumber("DisableHomePageVisit")), asRead(row.read)) << row.type;
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"DisableHomePageVisit");
}

}  // namespace
}  // namespace glance::win32
