#include "platform/win32/Win32Accessibility.h"

#include <oleacc.h>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

constexpr GUID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kIAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kDescriptionProperty = {
    0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};

// The property service of oleacc, created on first use on the GUI thread
// and kept, like a loaded DLL, until the process ends. Null where it cannot
// be had; null without trying when nobody asked for it yet.
IAccPropServices* propertyService(bool create) {
    static IAccPropServices* service = nullptr;
    static bool tried = false;
    if (!tried && create) {
        tried = true;
        try {
            // An apartment of our own; one that another part opened already is as good.
            const lazy::Imports& ole32 = lazy::ole32();
            const HRESULT com = ole32.CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(com) || com == RPC_E_CHANGED_MODE)
                ole32.CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                                       reinterpret_cast<void**>(&service));
        } catch (const PlatformError&) {
            // No COM here: the descriptions are left to the control's text.
        }
    }
    return service;
}

}  // namespace

AccessibleDescription::~AccessibleDescription() {
    if (IAccPropServices* service = propertyService(false)) {
        MSAAPROPID property = kDescriptionProperty;
        service->ClearHwndProps(control_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &property, 1);
    }
}

void AccessibleDescription::set(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    if (asked_ || propertyService(false) != nullptr) apply();
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, control_, OBJID_CLIENT, CHILDID_SELF);
}

void AccessibleDescription::apply() const {
    IAccPropServices* service = propertyService(true);
    if (service == nullptr) return;
    MSAAPROPID property = kDescriptionProperty;
    if (text_.empty())
        service->ClearHwndProps(control_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &property, 1);
    else
        service->SetHwndPropStr(control_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, property,
                                widenUtf8(text_).data());
}

void AccessibleDescription::asked() {
    if (asked_) return;
    asked_ = true;
    apply();
}

void announce(HWND element, const std::wstring& text) {
    constexpr int kActionCompleted = 2;  // NotificationKind_ActionCompleted
    constexpr int kMostRecent = 3;       // NotificationProcessing_MostRecent: only the latest is read
    // The event (Windows 10 1709) takes oleaut32's strings. Without it, nothing is said.
    const lazy::Imports* uia = nullptr;
    try {
        lazy::oleaut32();
        uia = &lazy::uiautomationcore();
    } catch (const PlatformError&) {
        return;
    }
    if (!uia->UiaRaiseNotificationEvent || !uia->UiaHostProviderFromHwnd || !uia->SysAllocString ||
        !uia->SysFreeString)
        return;
    IUnknown* provider = nullptr;
    if (FAILED(uia->UiaHostProviderFromHwnd(element, &provider)) || provider == nullptr) return;
    const BSTR said = uia->SysAllocString(text.c_str());
    const BSTR activity = uia->SysAllocString(L"GlanceRefresher.Result");
    if (said != nullptr && activity != nullptr)
        uia->UiaRaiseNotificationEvent(provider, kActionCompleted, kMostRecent, said, activity);
    uia->SysFreeString(said);
    uia->SysFreeString(activity);
    provider->Release();
}

}  // namespace glance::win32
