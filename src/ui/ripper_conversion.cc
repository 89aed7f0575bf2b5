#include "ui/ripper_conversion.h"

#include "convert/computer_shutdown.h"
#include "convert/conversion_driver.h"
#include "convert/encoder_library.h"
#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "dvd/source_rows.h"
#include "platform/message_queue.h"
#include "ui/title_ripper_batch.h"

namespace tarn {

ConversionRipperDriver::~ConversionRipperDriver() { WaitForThread(); }

int ConversionRipperDriver::CheckFreeSpace(int estimateMB, const std::string& path) {
  return tarn::CheckFreeSpace(estimateMB, path, *this);
}

bool ConversionRipperDriver::AskYesNo(const std::string& text, const std::string& caption) {
  return view_.AskYesNo(text, caption);
}

int ConversionRipperDriver::LoadEncoderLibrary() { return tarn::LoadEncoderLibrary(); }

void ConversionRipperDriver::UnloadEncoderLibrary() {
  if (EncoderLibraryLoaded()) tarn::UnloadEncoderLibrary();
}

void ConversionRipperDriver::ResetExchange() { tarn::ResetExchange(); }

void ConversionRipperDriver::SetJobRange(int64_t start, int64_t end) { tarn::SetJobRange(start, end); }

void ConversionRipperDriver::StartRipperThread() {
  WaitForThread();
  ConversionJobContext context;
  context.window = &batch_->Queue();
  SourceRows* rows = &batch_->Rows();
  // The rows stay as they are while a job runs (row editing is refused).
  context.findJob = [rows](int32_t target) -> RipJob* {
    const int index = rows->FindJob(target);
    return index >= 0 ? rows->Row(index)->job.get() : nullptr;
  };
  threadEnded_ = false;
  thread_ = std::thread([this, context = std::move(context)] {
    RipperThreadMain(context);
    threadEnded_ = true;
  });
}

void ConversionRipperDriver::WaitForThread() {
  if (!thread_.joinable()) return;
  // The thread may still send to this thread's queues before it ends.
  while (!threadEnded_) platform::PumpingSleep(10);
  thread_.join();
}

void ConversionRipperDriver::ShutdownComputer() { tarn::ShutdownComputer(); }

}  // namespace tarn
