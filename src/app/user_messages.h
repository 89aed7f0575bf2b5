#pragma once
// The user messages that tie controller, windows, dialogs and conversion
// threads together. Numbers are fixed (WM_USER is 0x400).
#include <cstdint>

namespace tarn {

inline constexpr uint32_t kWmUser = 0x400;

inline constexpr uint32_t UM_SET_SERVER_THREAD = kWmUser + 102;     // 1126
inline constexpr uint32_t UM_APP_QUIT = kWmUser + 103;              // 1127
inline constexpr uint32_t UM_SWITCH_WINDOW = kWmUser + 104;         // 1128
inline constexpr uint32_t UM_CROP_ASPECT = kWmUser + 105;           // 1129
inline constexpr uint32_t UM_CROP_SETTINGS_CLOSED = kWmUser + 106;  // 1130
inline constexpr uint32_t UM_STOP_CONVERT = kWmUser + 107;          // 1131
inline constexpr uint32_t UM_BATCH_DONE = kWmUser + 108;            // 1132
inline constexpr uint32_t UM_PROGRESS_OPEN = kWmUser + 109;         // 1133
inline constexpr uint32_t UM_PROGRESS_CLOSE = kWmUser + 110;        // 1134
inline constexpr uint32_t UM_REMUX_PROGRESS = kWmUser + 111;        // 1135
inline constexpr uint32_t UM_LOADING_OPEN = kWmUser + 112;          // 1136
inline constexpr uint32_t UM_LOADING_CLOSE = kWmUser + 113;         // 1137
inline constexpr uint32_t UM_START_TITLE_RIP = kWmUser + 114;       // 1138
inline constexpr uint32_t UM_NEXT_TITLE = kWmUser + 115;            // 1139
inline constexpr uint32_t UM_CONFIRM_CANCEL_RECORD = kWmUser + 116; // 1140
inline constexpr uint32_t UM_CLOSE_PLAYER = kWmUser + 118;          // 1142
inline constexpr uint32_t UM_CONFIRM_CANCEL_REMUX = kWmUser + 121;  // 1145
inline constexpr uint32_t UM_SEEK_TO_SLIDER = kWmUser + 122;        // 1146
inline constexpr uint32_t UM_JOB_RESULT = kWmUser + 123;            // 1147
inline constexpr uint32_t UM_NOTIFIER_CLICKED = kWmUser + 2123;     // 3147

}  // namespace tarn
