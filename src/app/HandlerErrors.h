// The error message of the main window's reporting handlers, and their tags.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace glance {

class System;

// Each reporting handler's error tag, with its trailing space.
namespace tag {
inline constexpr const char* kFormLoad = "in Pindrift2021/08/31.Form1.Form_Load ";
inline constexpr const char* kFormQueryUnload = "in Pindrift2021/08/31.Form1.Form_QueryUnload ";
inline constexpr const char* kHelpClick = "in Pindrift2021/08/31.Form1.PushButton1_Click ";
inline constexpr const char* kForceClick = "in Pindrift2021/08/31.Form1.PushButton2_Click ";
inline constexpr const char* kSwitchClick = "in Pindrift2021/08/31.Form1.PushButton4_Click ";
inline constexpr const char* kTimerTick = "in Pindrift2021/08/31.Form1.Timer1_Timer ";
inline constexpr const char* kStartupCheckClick = "in Pindrift2021/08/31.Form1.Check3_Click ";
inline constexpr const char* kMinimizedCheckClick = "in Pindrift2021/08/31.Form1.Check8_Click ";
}  // namespace tag

inline constexpr const char* kErrorBoxTitle = "Application Error";
inline constexpr std::uint32_t kErrorBoxStyle = 48;  // exclamation icon, OK only

// description CR LF tag "at line " label CR CR request-and-address.
std::string HandlerErrorMessage(std::string_view tag, std::int32_t label, std::string_view description);

// Shows the message in the modal "Application Error" box and returns when the
// user has closed it.
void ReportHandlerError(System& system, std::string_view tag, std::int32_t label,
                        std::string_view description);

}  // namespace glance
