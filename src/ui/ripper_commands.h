#pragma once
// Command ids of the title ripper window that its logic handles, delivered
// as command messages (wparam = the id), as a menu or button click is.
#include <cstdint>

namespace tarn {

inline constexpr uint32_t kCommandMessage = 0x0111;  // the platform's command message

inline constexpr int kCmdStartNow = 1012;     // "Start now"
inline constexpr int kCmdPreviewStop = 1024;  // "Stop" button
inline constexpr int kCmdStop = 1057;         // DVD menu "Stop"
inline constexpr int kCmdStopMenu = 32773;    // DVD menu "Stop" (menu id)
inline constexpr int kCmdSafeSearch = 1586;   // posted after a disc opens: run the title seek

}  // namespace tarn
