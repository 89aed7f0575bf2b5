#pragma once
// libTarnPlayer.so as the playback core sees it: the library opened from the
// program folder and its four entry points found by name.
#include <string>

#include "TarnPlayer.h"
#include "platform/dynamic_library.h"

namespace tarn {

struct EngineEntryPoints {
  TarnOpenMediaFn openMedia = nullptr;
  TarnCloseMediaFn closeMedia = nullptr;
  TarnPlayMediaFn playMedia = nullptr;
  TarnStopMediaFn stopMedia = nullptr;

  bool Complete() const { return openMedia && closeMedia && playMedia && stopMedia; }
};

inline constexpr const char* kEngineLibraryName = "libTarnPlayer.so";

// The folder the playback core loads the engine from: the program folder,
// unless a host that does not live in it (a test executable) names another.
std::string EngineFolder();
void SetEngineFolder(const std::string& folder);  // empty: the program folder again

class EngineLibrary {
 public:
  // Opens programFolder + libTarnPlayer.so and finds the entry points; false
  // (and no entry point) when the library or one of them is missing.
  bool Load(const std::string& programFolder);
  void Unload();
  const EngineEntryPoints& Entries() const { return m_entries; }
  const std::string& Error() const { return m_error; }

 private:
  platform::DynamicLibrary m_library;
  EngineEntryPoints m_entries;
  std::string m_error;
};

}  // namespace tarn
