#pragma once
// Post-processing after a good encode, on the conversion thread: the format's
// step with libTarnEncoder.so (3GP/3G2 AMR-NB remux, audio conversion, SWF
// remux), the HTML page and player movie beside FLV and SWF outputs, and
// the THM thumbnail of the game console formats.
//
// Messages to `window`: UM_REMUX_PROGRESS (sent, wparam 0 before each
// library step, then the whole percentage from RemuxProgress) and
// UM_PROGRESS_CLOSE (sent, 0) once the format's step is complete.
#include <string>

namespace tarn {
namespace platform {
class MessageQueue;
}

inline constexpr const char* kPostProcessLibraryName = "libTarnEncoder.so";

// What became of the format's library steps.
enum class PostProcessResult {
  kDone,       // every step ran and succeeded (or the format has none)
  kFailed,     // the library or an entry point is missing, or a step failed
  kCancelled,  // the user cancelled a library step
};

// Runs the post step of `format` (the current profile's format) with
// `audioCodec`, reading outputPath and outputFolder from Settings(), the
// current profile's values from Catalogue() and the frame size from
// CurrentOutputFrame().
void PostProcess(const std::string& format, const std::string& audioCodec, const platform::MessageQueue* window);

// The same, telling the caller how the library steps went, so a failed step
// need not be reported as a completed job.
PostProcessResult PostProcessOutput(const std::string& format, const std::string& audioCodec,
                                    const platform::MessageQueue* window);

// The progress callback handed to the library; `window` is the
// const platform::MessageQueue* of the job. Sends UM_REMUX_PROGRESS with
// the whole percentage, handles the thread's pending messages, and returns
// 0 while the remux-running flag is set, 1 once the user has cancelled.
int RemuxProgress(float percentage, void* window);

// The folder libTarnEncoder.so and the player movies are taken from (ending
// in "/"): the program folder unless set otherwise. Tests point it at the
// build's program folder or at a folder of their own.
std::string PostProcessProgramFolder();
void SetPostProcessProgramFolder(const std::string& folder);

}  // namespace tarn
