#include "convert/post_process.h"

#include <cstdio>
#include <mutex>

#include "TarnEncoder.h"
#include "app/log.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/conversion_steps.h"
#include "convert/html_pages.h"
#include "convert/output_frame.h"
#include "convert/output_naming.h"
#include "convert/rip_job.h"
#include "platform/dynamic_library.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn {
namespace {

std::mutex g_folderMutex;
std::string g_programFolder;  // empty: the program folder

// The current profile's values that the library calls pass on.
struct StepValues {
  std::string ext, videoCodec, videoBitrate, audioCodec, audioBitrate, sampleRate, channels;
};

StepValues CurrentStepValues() {
  StepValues v;
  if (const AVOutputProfile* profile = Catalogue().CurrentProfile()) {
    v.ext = profile->ext;
    v.videoCodec = profile->videoCodec.value;
    v.videoBitrate = profile->videoBitrate.value;
    v.audioCodec = profile->audioCodec.value;
    v.audioBitrate = profile->audioBitrate.value;
    v.sampleRate = profile->sampleRate.value;
    v.channels = profile->channels.value.substr(0, 1);
  }
  return v;
}

// Loads the library for one call, runs `call` with it and unloads it. A
// missing library or entry point skips the call (kFailed).
template <typename Fn, typename Call>
PostProcessResult WithEntry(const char* name, Call call) {
  platform::DynamicLibrary library;
  const std::string path = PostProcessProgramFolder() + kPostProcessLibraryName;
  if (!library.Open(path)) {
    Log(kLogError, "Cannot load %s: %s\n", path.c_str(), library.Error().c_str());
    return PostProcessResult::kFailed;
  }
  Fn entry = library.Entry<Fn>(name);
  if (!entry) {
    Log(kLogError, "%s has no entry point %s\n", path.c_str(), name);
    return PostProcessResult::kFailed;
  }
  const int result = call(entry);
  if (result == TARNENC_OK) return PostProcessResult::kDone;
  if (result == TARNENC_ERROR_CANCELLED) return PostProcessResult::kCancelled;
  Log(kLogError, "Convert file: %s failed with code %d\n", name, result);
  return PostProcessResult::kFailed;
}

void* WindowArg(const platform::MessageQueue* window) {
  return const_cast<void*>(static_cast<const void*>(window));
}

PostProcessResult RemuxThreeGp(const std::string& format, const std::string& folder, const std::string& outputPath,
                               const StepValues& v, const platform::MessageQueue* window) {
  const std::string temp = folder + (format == "3ggp" ? "temp.3gp" : "temp.3g2");
  Log(kLogInfo, "Convert file: begin remux 3gp, 3ggp2 file.\n");
  SendToWindow(window, UM_REMUX_PROGRESS, 0);
  const std::string videoBitrate = v.videoBitrate + "k";
  const PostProcessResult result = WithEntry<Recreate3gpFn>("Recreate3gp", [&](Recreate3gpFn fn) {
    return fn(temp.c_str(), outputPath.c_str(), v.ext.c_str(), v.videoCodec.c_str(), videoBitrate.c_str(),
              v.audioCodec.c_str(), v.audioBitrate.c_str(), &RemuxProgress, WindowArg(window));
  });
  std::remove(temp.c_str());
  Log(kLogInfo, "Convert file: End remux 3gp, 3ggp2 file.\n");
  SendToWindow(window, UM_PROGRESS_CLOSE, 0);
  return result;
}

PostProcessResult ConvertAudio(const std::string& format, const std::string& folder, const std::string& outputPath,
                               const StepValues& v, const platform::MessageQueue* window) {
  const std::string temp = folder + "temp.mp3";
  const bool m4a = format == "m4a";
  // M4A is converted into a fixed temporary MP4 file and moved into place.
  const std::string target = m4a ? folder + "temp.mp4" : outputPath;
  if (m4a) std::remove(target.c_str());
  Log(kLogInfo, "Convert file: begin remux au, amr, m4a wav file.\n");
  SendToWindow(window, UM_REMUX_PROGRESS, 0);
  const std::string audioBitrate = v.audioBitrate + "k";
  const PostProcessResult result = WithEntry<ConvertAudioFileFn>("ConvertAudioFile", [&](ConvertAudioFileFn fn) {
    return fn(temp.c_str(), target.c_str(), format.c_str(), v.audioCodec.c_str(), audioBitrate.c_str(),
              v.sampleRate.c_str(), v.channels.c_str(), &RemuxProgress, WindowArg(window));
  });
  std::remove(temp.c_str());
  // A failed conversion leaves no temporary MP4, so the move fails too and
  // the destination is not touched.
  if (m4a && result == PostProcessResult::kDone) std::rename(target.c_str(), outputPath.c_str());
  Log(kLogInfo, "Convert file: end remux au, amr, m4a wav file.\n");
  SendToWindow(window, UM_PROGRESS_CLOSE, 0);
  return result;
}

void WriteFlvPage(const std::string& folder, const std::string& outputPath) {
  Log(kLogInfo, "Convert file: begin wite flv html file.\n");
  CopyPlayerMovie(PostProcessProgramFolder(), folder, kFlvPlayerFile);
  const OutputFrame& frame = CurrentOutputFrame();
  WriteHtmlPage(HtmlPagePath(folder, outputPath),
                FlvPageText(HtmlMovieName(outputPath, "flv"), frame.width.load(), frame.height.load()));
  Log(kLogInfo, "Convert file: end wite flv html file.\n");
}

PostProcessResult RemuxSwf(const std::string& folder, const std::string& outputPath, const StepValues& v,
                           const platform::MessageQueue* window) {
  const std::string temp = folder + "temp.swf";
  Log(kLogInfo, "Convert file: begin remux swf file.\n");
  SendToWindow(window, UM_REMUX_PROGRESS, 0);
  const std::string videoBitrate = v.videoBitrate + "k";
  const std::string audioBitrate = v.audioBitrate + "k";
  const PostProcessResult result = WithEntry<RemuxSWFFileFn>("RemuxSWFFile", [&](RemuxSWFFileFn fn) {
    return fn(temp.c_str(), outputPath.c_str(), videoBitrate.c_str(), audioBitrate.c_str(), &RemuxProgress,
              WindowArg(window));
  });
  std::remove(temp.c_str());
  Log(kLogInfo, "Convert file: end remux swf file.\n");

  Log(kLogInfo, "Convert file: begin write swf html file.\n");
  CopyPlayerMovie(PostProcessProgramFolder(), folder, kSwfPlayerFile);
  const OutputFrame& frame = CurrentOutputFrame();
  WriteHtmlPage(HtmlPagePath(folder, outputPath),
                SwfPageText(HtmlMovieName(outputPath, "swf"), frame.width.load(), frame.height.load()));
  Log(kLogInfo, "Convert file: end write swf html file.\n");
  SendToWindow(window, UM_PROGRESS_CLOSE, 0);
  return result;
}

PostProcessResult CaptureThumbnail(const std::string& outputPath) {
  Log(kLogInfo, "Convert file: begin write THM File.\n");
  const std::string thumbnail = ThumbnailPath(outputPath);
  const PostProcessResult result = WithEntry<CaptureTHMFn>(
      "CaptureTHM", [&](CaptureTHMFn fn) { return fn(outputPath.c_str(), thumbnail.c_str()); });
  Log(kLogInfo, "Convert file: end THM File.\n");
  return result;
}

PostProcessResult Worse(PostProcessResult a, PostProcessResult b) {
  return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

}  // namespace

std::string PostProcessProgramFolder() {
  std::lock_guard<std::mutex> lock(g_folderMutex);
  return g_programFolder.empty() ? platform::ProgramFolder() : g_programFolder;
}

void SetPostProcessProgramFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_folderMutex);
  g_programFolder = folder;
}

int RemuxProgress(float percentage, void* window) {
  SendToWindow(static_cast<const platform::MessageQueue*>(window), UM_REMUX_PROGRESS,
               static_cast<intptr_t>(percentage));
  platform::PumpMessages();
  return Conversion().remuxRunning.load() ? 0 : 1;
}

PostProcessResult PostProcessOutput(const std::string& format, const std::string& audioCodec,
                                    const platform::MessageQueue* window) {
  const std::string folder = Settings().outputFolder;
  const std::string outputPath = Settings().outputPath;
  const StepValues values = CurrentStepValues();

  PostProcessResult result = PostProcessResult::kDone;
  if ((format == "3ggp" || format == "3ggp2") && audioCodec == "amr_nb")
    result = RemuxThreeGp(format, folder, outputPath, values, window);
  else if (format == "au" || format == "amr" || format == "wav" || format == "m4a")
    result = ConvertAudio(format, folder, outputPath, values, window);
  else if (format == "flv")
    WriteFlvPage(folder, outputPath);
  else if (format == "swf")
    result = RemuxSwf(folder, outputPath, values, window);

  if (format == "psp-mp4" || format == "psp-avc") result = Worse(result, CaptureThumbnail(outputPath));
  return result;
}

void PostProcess(const std::string& format, const std::string& audioCodec, const platform::MessageQueue* window) {
  PostProcessOutput(format, audioCodec, window);
}

}  // namespace tarn
