// The error message of the main window's reporting handlers, and their tags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glance {

// Each reporting handler's error tag, with its trailing space. These are the
// texts users have sent screenshots of for years, so they keep the handler
// names of the program's first window word for word.
namespace tag {
inline constexpr const char* kStartup = "in Pindrift2021/08/31.Form1.Form_Load ";
inline constexpr const char* kCloseRequest = "in Pindrift2021/08/31.Form1.Form_QueryUnload ";
inline constexpr const char* kHelpClick = "in Pindrift2021/08/31.Form1.PushButton1_Click ";
inline constexpr const char* kRefreshNowClick = "in Pindrift2021/08/31.Form1.PushButton2_Click ";
inline constexpr const char* kSwitchClick = "in Pindrift2021/08/31.Form1.PushButton4_Click ";
inline constexpr const char* kTick = "in Pindrift2021/08/31.Form1.Timer1_Timer ";
inline constexpr const char* kStartWithWindowsClick = "in Pindrift2021/08/31.Form1.Check3_Click ";
inline constexpr const char* kStartInTrayClick = "in Pindrift2021/08/31.Form1.Check8_Click ";
}  // namespace tag

inline constexpr const char* kErrorBoxTitle = "Application Error";
inline constexpr std::uint32_t kErrorBoxStyle = 48;  // exclamation icon, OK only

// description CR LF tag "at line " label CR CR request-and-address. The
// description is shown as a bounded, printable excerpt.
std::string handlerErrorMessage(std::string_view tag, std::int32_t label, std::string_view description);

// Shows the message in the modal "Application Error" box of boxes (anything
// with the platform's messageBox(text, title, style)) and returns when the
// user has closed it.
template <class MessageBoxes>
void reportHandlerError(MessageBoxes& boxes, std::string_view tag, std::int32_t label,
                        std::string_view description) {
    boxes.messageBox(handlerErrorMessage(tag, label, description), std::optional<std::string>(kErrorBoxTitle),
                     kErrorBoxStyle);
}

}  // namespace glance
