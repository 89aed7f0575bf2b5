#include "partial_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace tarn::encoder {

PartialOutput::PartialOutput(std::string destination) : destination_(std::move(destination)) {}

PartialOutput::~PartialOutput() {
  if (!path_.empty() && !committed_) std::remove(path_.c_str());
}

bool PartialOutput::Create() {
  if (destination_.empty()) return false;
  // The extension stays last so muxers that look at the name see the
  // destination's; O_EXCL makes sure an existing file is never reused.
  const size_t slash = destination_.rfind('/');
  size_t dot = destination_.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = destination_.size();
  const std::string stem = destination_.substr(0, dot);
  const std::string ext = destination_.substr(dot);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string candidate = stem + ".part" + std::to_string(getpid()) + "_" + std::to_string(attempt) + ext;
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      path_ = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool PartialOutput::Commit() {
  if (path_.empty() || committed_) return false;
  if (std::rename(path_.c_str(), destination_.c_str()) != 0) return false;
  committed_ = true;
  return true;
}

}  // namespace tarn::encoder
