#include "app/ManagedSettings.h"

#include <string>

#include "app/RefreshSwitch.h"
#include "app/StartupEntry.h"
#include "core/PolicyNames.h"
#include "core/Product.h"

namespace glance {

namespace {

std::wstring plainWide(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// A number of 0 or 1 is a choice; anything else is refused with a note.
template <typename Refuse>
std::optional<bool> choiceOf(const std::optional<PolicyData>& data, Refuse refuse) {
    if (data && (!data->isNumber || data->number > 1)) {
        refuse();
        return std::nullopt;
    }
    return data ? std::optional(data->number == 1) : std::nullopt;
}

// Both scopes are read, so that a policy that cannot be used is reported
// even when the other scope's value rules.
std::optional<bool> readPolicy(AdminSettings& admin, Diagnostics& diagnostics, EventLog& events,
                               const char* name) {
    std::optional<bool> held;
    for (const PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
        const std::string where =
            std::string(name) + (scope == PolicyScope::Machine ? " (machine)" : " (user)");
        const auto refuse = [&](const char* what, ErrorCode code) {
            diagnostics.noteFailure("policy " + where + ": " + what, code);
            events.report(AdminEvent::PolicyRefused, plainWide(where));
        };
        std::optional<PolicyData> data;
        try {
            data = admin.policy(scope, name);
        } catch (const PlatformError& e) {
            refuse("unreadable", e.code());
            continue;
        }
        const std::optional<bool> choice =
            choiceOf(data, [&] { refuse("bad data", errtext::kInvalidCall.code); });
        if (!held) held = choice;
    }
    return held;
}

// The user's own number, for what no policy holds; only noted when unusable.
std::optional<bool> readUsersOwn(AdminSettings& admin, Diagnostics& diagnostics, const char* name) {
    const std::string what = std::string("own setting ") + name;
    try {
        return choiceOf(admin.usersOwnNumber(name),
                        [&] { diagnostics.noteFailure(what + ": bad data", errtext::kInvalidCall.code); });
    } catch (const PlatformError& e) {
        diagnostics.noteFailure(what + ": unreadable", e.code());
        return std::nullopt;
    }
}

// A setting shown on its control. The switch shows it as the stored word
// does at start: its caption and the timer's interval.
void show(Window& window, ControlId control, bool on) {
    if (control != ControlId::SwitchButton) return window.checkBox(control).setValue(checkValue(on));
    ButtonControl& button = window.button(control);
    if (button.caption() == (on ? kCaptionTurnOff : kCaptionTurnOn)) return;
    button.setCaption(on ? kCaptionTurnOff : kCaptionTurnOn);
    TimerControl& timer = window.timer(ControlId::RefreshTimer);
    timer.setInterval(on ? kTickMilliseconds : 0);
    if (on) timer.setEnabled(true);
}

// The user's own choice for a control; for the switch, only the stored word
// "On" is on, as at start.
bool usersOwn(Preferences& preferences, ControlId control) {
    if (control == ControlId::SwitchButton) return Preferences::isOn(preferences.switchState());
    return control == ControlId::StartInTrayBox ? preferences.startInTray() : preferences.startWithWindows();
}

void putLogonValue(System& system, Preferences& preferences, bool on) {
    const std::optional<std::wstring> wanted = on ? std::optional(startupCommandLine(system)) : std::nullopt;
    if (system.startupEntry(kProductName) != wanted) putStartupEntry(system, wanted);
    if (preferences.startWithWindows() != on) preferences.saveStartWithWindows(on);
}

// The machine's value starts the program at logon whatever the user's list
// says, so the box shows it ticked.
std::optional<bool> startsWithWindows(const ManagedSettings& held) {
    return held.startedForEveryone ? std::optional(true) : held.startWithWindows;
}

// What the user's own logon value must be while the start is held. Beside
// the machine's value it would start a second copy at every logon, which
// brings the first one's window forward; and the box, locked, could not take
// it away.
std::optional<bool> heldLogonValue(const ManagedSettings& held) {
    return held.startedForEveryone ? std::optional(false) : held.startWithWindows;
}

}  // namespace

ManagedSettings readManagedSettings(AdminSettings& admin, Diagnostics& diagnostics, EventLog& events) {
    ManagedSettings held;
    held.automaticRefresh = readPolicy(admin, diagnostics, events, kPolicyAutomaticRefresh);
    held.startInTray = readPolicy(admin, diagnostics, events, kPolicyStartInTray);
    held.startWithWindows = readPolicy(admin, diagnostics, events, kPolicyStartWithWindows);
    const std::optional<bool> noHomePage = readPolicy(admin, diagnostics, events, kPolicyNoHomePage);
    held.homePageVisitOff =
        noHomePage ? *noHomePage : readUsersOwn(admin, diagnostics, kPolicyNoHomePage).value_or(false);
    try {
        held.startedForEveryone = admin.machineStartupEntry(kProductName);
    } catch (const PlatformError& e) {
        diagnostics.noteFailure("machine start-up entry", e.code());
    }
    return held;
}

void applyManagedSettings(Platform& p, Window& window, Preferences& preferences,
                          const ManagedSettings& before, const ManagedSettings& now) {
    // Each control with what it shows while held and the policy that holds
    // it (the machine's value holds the start with Windows too, but is no policy).
    const struct {
        ControlId control;
        const char* policy;
        std::optional<bool> before, now, policyBefore, policyNow;
    } rows[] = {{ControlId::SwitchButton, kPolicyAutomaticRefresh, before.automaticRefresh,
                 now.automaticRefresh, before.automaticRefresh, now.automaticRefresh},
                {ControlId::StartInTrayBox, kPolicyStartInTray, before.startInTray, now.startInTray,
                 before.startInTray, now.startInTray},
                {ControlId::StartWithWindowsBox, kPolicyStartWithWindows, startsWithWindows(before),
                 startsWithWindows(now), before.startWithWindows, now.startWithWindows}};
    try {
        if (const std::optional<bool> logonValue = heldLogonValue(now))
            putLogonValue(p.system, preferences, *logonValue);
    } catch (const PlatformError& e) {
        p.diagnostics.noteFailure("managed start-up entry", e.code());
    }
    for (const auto& row : rows) {
        try {
            if (row.now || row.before)
                show(window, row.control, row.now ? *row.now : usersOwn(preferences, row.control));
            if (row.now.has_value() != row.before.has_value())
                window.setLocked(row.control, row.now ? kManagedReason : "");
            if (row.policyNow && row.policyNow != row.policyBefore)
                p.eventLog.report(AdminEvent::PolicyApplied, plainWide(row.policy));
        } catch (const PlatformError& e) {
            p.diagnostics.noteFailure("managed setting", e.code());
        }
    }
}

}  // namespace glance
