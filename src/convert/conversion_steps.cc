#include "convert/conversion_steps.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/log.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/encoder_library.h"
#include "convert/encoder_settings.h"
#include "convert/output_frame.h"
#include "convert/output_geometry.h"
#include "convert/output_naming.h"
#include "playback/core_position.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn {
namespace {

constexpr int kPlayerCloseLimitMs = 60000;

// Makes sure the output folder exists and a file can be created in it, by
// creating and removing a probe file of a name nobody else uses. An empty
// text on success, else the reason.
std::string OutputFolderProblem(const std::string& folder) {
  if (folder.empty()) return "no output folder is set";
  if (!platform::MakeFolders(folder)) return std::strerror(errno != 0 ? errno : ENOENT);
  std::string probe = platform::WithTrailingSlash(folder) + ".tarn-write-test-XXXXXX";
  std::vector<char> name(probe.begin(), probe.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(name.data());
  return {};
}

// Frees a fixed temporary name for the encoder. A file already there is
// moved aside to a free name rather than deleted: it may not be ours.
void FreeTemporaryName(const std::string& path) {
  if (!platform::FileExists(path)) return;
  const std::string aside = MakeUniquePath(path);
  if (std::rename(path.c_str(), aside.c_str()) == 0)
    Log(kLogInfo, "Moved the old file %s aside to %s\n", path.c_str(), aside.c_str());
  else
    Log(kLogError, "Cannot move the old file %s aside: %s\n", path.c_str(), std::strerror(errno));
}

GeometryInputs GeometryFor(const AVOutputProfile& profile, const CoreCropReading& crop) {
  const CorePosition& core = CurrentCorePosition();
  GeometryInputs in;
  const uint32_t ax = core.aspectX.load(), ay = core.aspectY.load();
  in.displayAspect = ay != 0 ? static_cast<float>(ax) / static_cast<float>(ay) : 0.0f;
  in.cropOn = crop.on;
  in.sourceWidth = core.width.load();
  in.sourceHeight = core.height.load();
  in.crop = {crop.left, crop.top, crop.right, crop.bottom};
  in.videoAspectOption = Settings().videoAspectOption;
  in.profileSize = profile.videoSize.value;
  in.profileAspect = profile.aspectRate.value;
  in.profileListIndex = profile.listIndex;
  return in;
}

}  // namespace

void SendToWindow(const platform::MessageQueue* window, uint32_t message, intptr_t wparam) {
  if (window) window->Send(message, wparam, 0);
}

void PostToWindow(const platform::MessageQueue* window, uint32_t message, intptr_t wparam) {
  if (window) window->Post(message, wparam, 0);
}

void SendProgressOpen(const platform::MessageQueue* window, const char* prefix, const std::string& path) {
  const std::string title = std::string(prefix) + " " + path;
  SendToWindow(window, UM_PROGRESS_OPEN, reinterpret_cast<intptr_t>(title.c_str()));
}

CoreCropReading ReadCoreCrop(CoreCropAccess& access) {
  const CoreCrop c = access.GetCrop();
  CoreCropReading r;
  r.on = c.x != 0 || c.y != 0 || c.width != 0 || c.height != 0;
  r.left = c.x;
  r.top = c.y;
  r.right = c.x + c.width;
  r.bottom = c.y + c.height;
  return r;
}

int64_t FileSizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

EncodeOutcome EncodeJob(const ConversionJobContext& context, const AVOutputProfile& profile,
                        const std::string& outputPath, const CoreCropReading& crop) {
  const AppSettings& settings = Settings();
  const std::string settingsFolder = platform::SettingsFolder();
  platform::MakeFolders(settingsFolder);
  const std::string scratch = ScratchFilePath(settingsFolder);
  CreateScratchFile(scratch);  // a failure is not reported; the path goes to the encoder all the same

  const OutputGeometryResult geometry = OutputGeometry(GeometryFor(profile, crop));
  CurrentOutputFrame().width = geometry.frameWidth;
  CurrentOutputFrame().height = geometry.frameHeight;

  Log(kLogInfo, "Start real convert output %s, target format:%d\n", outputPath.c_str(), profile.listIndex);

  EncodeOutcome outcome;
  outcome.encoderOutput =
      EncoderTargetPath(settings.outputFolder, profile.format, profile.audioCodec.value, outputPath);

  const std::string problem = OutputFolderProblem(settings.outputFolder);
  if (!problem.empty()) {
    Log(kLogError, "Cannot write to the output folder %s (%s), so %s is not converted\n",
        settings.outputFolder.c_str(), problem.c_str(), outputPath.c_str());
    if (context.reportProblem) {
      const std::string text = "Cannot write to the output folder " + settings.outputFolder + " (" + problem + ").";
      auto show = [&] { context.reportProblem(text); };
      if (context.window) context.window->SendCall(show);
      else show();
    }
  } else {
    if (outcome.encoderOutput != outputPath) FreeTemporaryName(outcome.encoderOutput);
    const EncoderSettings es =
        MakeEncoderSettings(profile, settings, geometry, scratch, outcome.encoderOutput, context.window);
    const auto& run = context.hooks.runEncoder;
    if (run) run(es);
    else RunEncoder(es);
    outcome.encoderRan = true;
  }
  outcome.sizeBytes = outcome.encoderRan ? FileSizeOf(outcome.encoderOutput) : 0;
  std::remove(scratch.c_str());
  return outcome;
}

void WaitForPlayerToClose() {
  CorePosition& core = CurrentCorePosition();
  const uint32_t sink = core.eventSinkQueue.load();
  // Without a window to ask there is nobody who could close the core.
  if (sink == 0 || !platform::PostToQueue(sink, UM_STOP_CONVERT, 0, 0)) return;
  // The window closes the player at once; a window that never does must not
  // hold the conversion thread (and the job's result) forever.
  for (int waited = 0; core.exists.load() != 0; waited += 50) {
    if (waited >= kPlayerCloseLimitMs) {
      Log(kLogError, "The player did not close within %d s; the conversion goes on\n", kPlayerCloseLimitMs / 1000);
      return;
    }
    platform::PumpingSleep(50);
  }
}

bool OutputLooksGood(int64_t sizeBytes) { return sizeBytes > kMinimumGoodOutputBytes; }

}  // namespace tarn
