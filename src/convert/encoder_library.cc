#include "convert/encoder_library.h"

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "app/log.h"
#include "platform/dynamic_library.h"
#include "platform/paths.h"

namespace tarn {

EncoderCallbacks ConversionEncoderCallbacks();  // encoder_callback_set.cc

namespace {

struct EncoderLibraryState {
  std::mutex mutex;
  platform::DynamicLibrary library;
  Video_to_X_init_Fn init = nullptr;
  Video_to_X_do_Convert_Fn convert = nullptr;
  std::string folder;  // empty: the program folder
  bool encoding = false;  // an encode runs: the library must stay mapped
  bool callbacksSet = false;
  EncoderCallbacks callbacks;
};

EncoderLibraryState& State() {
  static EncoderLibraryState state;
  return state;
}

// The handle as the log line shows it: 0 while nothing is loaded.
int HandleNumber(const platform::DynamicLibrary& library) {
  if (!library.IsOpen()) return 0;
  return static_cast<int>(reinterpret_cast<uintptr_t>(library.Symbol("Video_to_X_init")) & 0x7fffffff);
}

void UnloadLocked(EncoderLibraryState& s) {
  s.library.Close();
  s.init = nullptr;
  s.convert = nullptr;
}

int LoadLocked(EncoderLibraryState& s) {
  const std::string path = (s.folder.empty() ? platform::ProgramFolder() : s.folder) + kEncoderLibraryName;
  Log(kLogInfo, "\n encoder path  = %s hMencoderLib = %d\n", path.c_str(), HandleNumber(s.library));
  if (s.library.IsOpen()) return 1;
  errno = 0;
  bool ok = s.library.Open(path);
  const int error = errno;
  if (ok) {
    s.init = s.library.Entry<Video_to_X_init_Fn>("Video_to_X_init");
    s.convert = s.library.Entry<Video_to_X_do_Convert_Fn>("Video_to_X_do_Convert");
    // A library without both entry points cannot encode; calling a missing
    // one would crash, so it counts as not loaded.
    if (!s.init || !s.convert) {
      Log(kLogError, "Encoder library %s lacks Video_to_X_init or Video_to_X_do_Convert\n", path.c_str());
      UnloadLocked(s);
      ok = false;
    }
  }
  Log(kLogInfo, "\n encoder path  = %s hMencoderLib = %d\n", path.c_str(), HandleNumber(s.library));
  if (!ok) {
    Log(kLogError, "\n GetLastError  = %d\n", error != 0 ? error : ENOENT);
    if (!s.library.Error().empty()) Log(kLogError, "%s\n", s.library.Error().c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int LoadEncoderLibrary() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  return LoadLocked(s);
}

void UnloadEncoderLibrary() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  // Unmapping the code an encode is running in would crash it; the encode
  // unloads the library itself when it returns.
  if (s.encoding) return;
  UnloadLocked(s);
}

bool EncoderLibraryLoaded() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  return s.library.IsOpen();
}

int RunEncoder(const EncoderSettings& settings) {
  auto& s = State();
  Video_to_X_init_Fn init = nullptr;
  Video_to_X_do_Convert_Fn convert = nullptr;
  EncoderCallbacks callbacks;
  {
    std::lock_guard lock(s.mutex);
    if (s.encoding) return -1;  // one encode at a time
    UnloadLocked(s);
    if (LoadLocked(s) != 0) return -1;
    init = s.init;
    convert = s.convert;
    callbacks = s.callbacksSet ? s.callbacks : ConversionEncoderCallbacks();
    s.encoding = true;
  }
  // The block (and the texts in it) lives until the encode has returned.
  const EncoderInitBlock block(settings, callbacks);
  init(block.data());
  const int result = convert();
  std::lock_guard lock(s.mutex);
  s.encoding = false;
  UnloadLocked(s);
  return result;
}

EncoderCallbacks EncoderCallbacksInUse() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  return s.callbacksSet ? s.callbacks : ConversionEncoderCallbacks();
}

void SetEncoderCallbacks(const EncoderCallbacks& callbacks) {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  s.callbacks = callbacks;
  s.callbacksSet = true;
}

void ResetEncoderCallbacks() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  s.callbacksSet = false;
  s.callbacks = {};
}

std::string EncoderLibraryFolder() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  return s.folder.empty() ? platform::ProgramFolder() : s.folder;
}

void SetEncoderLibraryFolder(const std::string& folder) {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  s.folder = folder.empty() ? folder : platform::WithTrailingSlash(folder);
}

}  // namespace tarn
