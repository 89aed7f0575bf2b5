#pragma once
// Messages the core must put in front of the user (the viewer start failure,
// a missing product file). The desktop program installs a hook that shows a
// message box; until then, and in the command-line front end, the text goes
// to stderr.
#include <functional>
#include <string>

namespace tarn {

using MessageBoxHook = std::function<void(const std::string& text)>;

// Replaces the hook; an empty hook restores the stderr default.
void SetMessageBoxHook(MessageBoxHook hook);
void ShowMessageBox(const std::string& text);

}  // namespace tarn
