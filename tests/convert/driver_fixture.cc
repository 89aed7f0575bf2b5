#include "driver_fixture.h"

#include <cstdlib>

#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/encoder_library.h"
#include "convert/output_frame.h"
#include "convert/rip_job.h"
#include "playback/core_position.h"
#include "profiles/profile_catalogue.h"

namespace tarn::test {
namespace {

int StopWhenAsked() { return Conversion().stopRequest.load() != 0 ? 1 : 0; }
void Quiet(const char*) {}

void ResetConversionState() {
  ConversionState& s = Conversion();
  s.recording = 0;
  s.stopRequest = 0;
  s.encodeDone = 0;
  s.userStopped = 0;
  s.remuxRunning = 0;
  s.batch = 0;
  s.startTitle = 1;
  s.startDomain = 4;
}

}  // namespace

void DriverBench::SetUp() {
  setenv("TARN_ORVANE_HOME", home_.path().c_str(), 1);
  unsetenv("TARN_STANDIN_MODE");
  unsetenv("TARN_STANDIN_BYTES");
  static const bool loaded = Catalogue().Load(SourceDir() + "data/");
  ASSERT_TRUE(loaded);
  UseProfile(0);

  AppSettings& settings = Settings();
  settings.outputFolder = out_.path();
  settings.outputName = "Film";
  settings.videoAspectOption = 0;

  ClearCorePosition();
  CorePosition& core = CurrentCorePosition();
  core.width = 720;
  core.height = 480;
  core.aspectX = 4;
  core.aspectY = 3;
  ResetConversionState();

  SetEncoderLibraryFolder(TARN_TEST_STANDIN_ENCODER_DIR);
  EncoderCallbacks cb;
  cb.stopTest = &StopWhenAsked;
  cb.encoderLog = &Quiet;
  SetEncoderCallbacks(cb);

  static RipJob job;
  job = RipJob{};
  job.titleIndex = 0;
  job.checked = 1;
  job.destination = out_ / "Film[1].mp4";
  job_ = &job;
  rows_ = {job_};

  context_.window = &window_;
  context_.findJob = [this](int32_t target) { return FindCheckedJob(rows_, target); };
  context_.hooks.crop = &crop_;
  context_.hooks.runEncoder = [this](const EncoderSettings& s) {
    encodes_.push_back(s);
    return RunEncoder(s);
  };
  context_.hooks.postProcess = [this](const std::string& format, const std::string&, const platform::MessageQueue*) {
    postProcessed_.push_back(format);
    return postProcessResult_;
  };
}

void DriverBench::TearDown() {
  SetEncoderLibraryFolder("");
  ResetEncoderCallbacks();
  ClearCorePosition();
  ResetConversionState();
  unsetenv("TARN_STANDIN_MODE");
  unsetenv("TARN_STANDIN_BYTES");
}

void DriverBench::UseProfile(int32_t id) {
  Catalogue().SelectProfileById(id);
  ASSERT_NE(Catalogue().CurrentProfile(), nullptr);
  ASSERT_EQ(Catalogue().CurrentProfile()->listIndex, id);
}

void DriverBench::EncoderWrites(long long bytes) {
  setenv("TARN_STANDIN_MODE", "size", 1);
  setenv("TARN_STANDIN_BYTES", std::to_string(bytes).c_str(), 1);
}

void DriverBench::EncoderWritesUntilStopped() { setenv("TARN_STANDIN_MODE", "until-stop", 1); }

void DriverBench::Run(void (*body)(const ConversionJobContext&), const std::function<void()>& whileRunning) {
  std::atomic<bool> done{false};
  std::thread thread([&] {
    body(context_);
    done = true;
  });
  while (!done) {
    platform::PumpingSleep(5);
    if (whileRunning) whileRunning();
  }
  thread.join();
  platform::PumpMessages();  // what was posted last
}

intptr_t DriverBench::Record(const platform::Message& m) {
  SeenMessage s{m.message, m.wparam, {}};
  if (m.message == UM_PROGRESS_OPEN && m.wparam != 0) s.text = reinterpret_cast<const char*>(m.wparam);
  seen_.push_back(s);
  return 0;
}

std::vector<uint32_t> DriverBench::MessageIds() const {
  std::vector<uint32_t> ids;
  for (const auto& s : seen_) ids.push_back(s.message);
  return ids;
}

int DriverBench::Count(uint32_t message) const {
  int n = 0;
  for (const auto& s : seen_) n += s.message == message;
  return n;
}

const SeenMessage* DriverBench::Find(uint32_t message) const {
  for (const auto& s : seen_)
    if (s.message == message) return &s;
  return nullptr;
}

}  // namespace tarn::test
