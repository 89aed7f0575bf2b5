#pragma once
// The encoder library, libRIDirud.so, loaded from the program folder, and
// one encode with it: load, init with the settings block, convert, unload.
#include <string>

#include "convert/encoder_init_block.h"
#include "convert/encoder_settings.h"

namespace tarn {

inline constexpr const char* kEncoderLibraryName = "libRIDirud.so";

// 0 when the library has just been loaded and both entry points were found;
// 1 when loading failed (missing library or entry point) or the library was
// already loaded. Logs the path and handle before and after the attempt.
int LoadEncoderLibrary();
// Does nothing while an encode runs (the encode unloads it at its end).
void UnloadEncoderLibrary();
bool EncoderLibraryLoaded();

// One encode: reloads the library, hands it the block built from `settings`
// and the callbacks, runs the conversion on the calling thread and unloads
// the library again. -1 when the library cannot be loaded, else the
// library's result.
int RunEncoder(const EncoderSettings& settings);

// The callbacks handed to the encoder; the conversion callbacks by default.
EncoderCallbacks EncoderCallbacksInUse();
// Replaces them (tests; null members stay null in the block). Call only
// while no encode runs.
void SetEncoderCallbacks(const EncoderCallbacks& callbacks);
void ResetEncoderCallbacks();

// The folder the library is loaded from (ending in "/"): the program folder
// unless set otherwise. Tests point it at a folder of their own.
std::string EncoderLibraryFolder();
void SetEncoderLibraryFolder(const std::string& folder);

}  // namespace tarn
