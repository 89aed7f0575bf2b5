#pragma once
// A conversion-thread test bench: a window queue on the test thread that
// records what the thread tells it, the shipped profile catalogue, an output
// folder, and the stand-in encoder library that writes an output of a chosen
// size (or until the user stops).
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "convert/conversion_driver.h"
#include "convert/core_crop.h"
#include "convert/encoder_settings.h"
#include "platform/message_queue.h"
#include "test_support.h"

namespace tarn::test {

struct SeenMessage {
  uint32_t message;
  intptr_t wparam;
  std::string text;  // UM_PROGRESS_OPEN's title
};

class FakeCoreCrop final : public CoreCropAccess {
 public:
  void SetCrop(const CoreCrop& c) override {
    crop = c;
    ++sets;
  }
  CoreCrop GetCrop() override { return crop; }
  CoreCrop crop;
  int sets = 0;
};

class DriverBench : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void UseProfile(int32_t id);
  // The stand-in writes `bytes` bytes, or pieces until the stop request.
  void EncoderWrites(long long bytes);
  void EncoderWritesUntilStopped();

  // Runs the thread body on a thread of its own while this thread handles
  // the window's messages; `whileRunning` is called between pumps.
  void Run(void (*body)(const ConversionJobContext&), const std::function<void()>& whileRunning = {});

  std::vector<uint32_t> MessageIds() const;
  int Count(uint32_t message) const;
  const SeenMessage* Find(uint32_t message) const;

  TempDir home_, out_;
  std::vector<SeenMessage> seen_;
  platform::MessageQueue window_{[this](const platform::Message& m) -> intptr_t { return Record(m); }};
  FakeCoreCrop crop_;
  ConversionJobContext context_;
  std::vector<EncoderSettings> encodes_;  // what the encoder was given
  std::vector<std::string> postProcessed_;
  bool postProcessResult_ = true;
  RipJob* job_ = nullptr;
  std::vector<RipJob*> rows_;

 private:
  intptr_t Record(const platform::Message& m);
};

}  // namespace tarn::test
