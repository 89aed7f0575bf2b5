#include "cli/rip_console_view.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/log.h"
#include "convert/output_naming.h"
#include "convert/rip_job.h"

namespace tarn::cli {
namespace {

constexpr int kBarWidth = 30;

int64_t FileBytes(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The side files a finished output may carry: the console formats'
// thumbnail, the HTML page of FLV and SWF outputs with its player.
std::vector<std::string> SideFilesOf(const std::string& output) {
  std::vector<std::string> files;
  const std::string folder = FolderOf(output);
  if (const std::string thm = ThumbnailPath(output); Exists(thm)) files.push_back(thm);
  if (const std::string html = HtmlPagePath(folder, output); Exists(html)) {
    files.push_back(html);
    for (const char* player : {kFlvPlayerFile, kSwfPlayerFile})
      if (Exists(folder + player)) files.push_back(folder + player);
  }
  return files;
}

}  // namespace

ConsoleRipperView::ConsoleRipperView(bool answerYes, bool printLines)
    : answerYes_(answerYes), printLines_(printLines), terminal_(::isatty(STDERR_FILENO) == 1) {
  logHandle_ = AddLogObserver([this](int level, const std::string& text) {
    if (level != kLogError) return;
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::lock_guard<std::mutex> lock(errorMutex_);
    lastError_ = line;
  });
}

ConsoleRipperView::~ConsoleRipperView() { RemoveLogObserver(logHandle_); }

std::string ConsoleRipperView::TakeLastError() {
  std::lock_guard<std::mutex> lock(errorMutex_);
  std::string text;
  text.swap(lastError_);
  return text;
}

void ConsoleRipperView::EndBarLine() {
  if (barShown_) std::fputc('\n', stderr);
  barShown_ = false;
}

void ConsoleRipperView::ShowMessage(const std::string& text, const std::string&, MessageIcon) {
  EndBarLine();
  std::fprintf(stderr, "%s\n", text.c_str());
}

bool ConsoleRipperView::AskYesNo(const std::string& text, const std::string&) {
  EndBarLine();
  std::fprintf(stderr, "%s %s\n", text.c_str(), answerYes_ ? "yes (--yes)" : "no (give --yes to go on)");
  return answerYes_;
}

void ConsoleRipperView::OpenProgress(const std::string& caption) {
  EndBarLine();
  progressOpen_ = true;
  if (caption.rfind("Converting ", 0) == 0) {
    converting_ = true;
    TakeLastError();
  }
  std::fprintf(stderr, "%s\n", caption.c_str());
}

void ConsoleRipperView::CloseProgress() {
  EndBarLine();
  progressOpen_ = false;
}

void ConsoleRipperView::SetProgress(int percent, const std::string& statusLine) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (!terminal_) {
    std::fprintf(stderr, "progress %d%% %s\n", percent, statusLine.c_str());
    return;
  }
  const int filled = percent * kBarWidth / 100;
  std::fprintf(stderr, "\r[%s%s] %3d%% %s", std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(), percent, statusLine.c_str());
  std::fflush(stderr);
  barShown_ = true;
}

void ConsoleRipperView::SetRemuxProgress(int percent) {
  if (terminal_) {
    std::fprintf(stderr, "\rRemuxing output file, Please wait! %3d%%", percent);
    std::fflush(stderr);
    barShown_ = true;
  }
}

void ConsoleRipperView::JobFinished(int, const RipJob& job, bool completed) {
  EndBarLine();
  JobOutcome o;
  o.title = job.titleIndex + 1;
  o.completed = completed;
  o.output = job.destination;
  o.bytes = FileBytes(job.destination);
  const std::string lastError = TakeLastError();
  if (completed) {
    o.sideFiles = SideFilesOf(job.destination);
  } else if (userStopped_ || Conversion().userStopped) {
    o.reason = "stopped by the user";
  } else if (!converting_) {
    o.reason = "title " + std::to_string(o.title) + " could not be played from the disc";
  } else if (!lastError.empty()) {
    o.reason = lastError;
  } else {
    o.reason = "the conversion produced no usable output";
  }
  converting_ = false;
  if (printLines_) {
    if (completed) std::printf("Completed %s\n", o.output.c_str());
    else std::printf("Failed %d %s\n", o.title, o.reason.c_str());
    std::fflush(stdout);
  }
  outcomes_.push_back(std::move(o));
}

}  // namespace tarn::cli
