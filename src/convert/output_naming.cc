#include "convert/output_naming.h"

#include <fstream>

#include "app/settings.h"
#include "convert/rip_job.h"
#include "platform/paths.h"

namespace tarn {
namespace {

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// The next candidate name after `path` (one step of the rule).
std::string NextCandidate(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t folderEnd = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < folderEnd) dot = path.size();
  const std::string folder = path.substr(0, folderEnd);
  const std::string base = path.substr(folderEnd, dot - folderEnd);
  const std::string ext = path.substr(dot);

  const size_t underscore = base.rfind('_');
  if (base.size() > 1 && underscore != std::string::npos) {
    const std::string counter = base.substr(underscore + 1);
    if (AllDigits(counter)) {
      // Count on in decimal text so a long run of digits cannot overflow.
      std::string next = counter.empty() ? "0" : counter;
      int i = static_cast<int>(next.size()) - 1;
      for (; i >= 0 && next[static_cast<size_t>(i)] == '9'; --i) next[static_cast<size_t>(i)] = '0';
      if (i < 0) next.insert(next.begin(), '1');
      else ++next[static_cast<size_t>(i)];
      // Drop leading zeros as a decimal number would ("007" + 1 is "8").
      size_t nz = next.find_first_not_of('0');
      next = nz == std::string::npos ? "0" : next.substr(nz);
      return folder + base.substr(0, underscore + 1) + next + ext;
    }
  }
  return folder + base + "_0" + ext;
}

}  // namespace

std::string MakeUniquePath(const std::string& path) {
  std::string candidate = path;
  while (platform::FileExists(candidate)) candidate = NextCandidate(candidate);
  return candidate;
}

void NameRowOutputs(RipJob& job, const std::string& outputFolder, const std::string& profileExt) {
  const std::string movieTitle = job.title ? job.title->movieTitle : std::string();
  const int titleIndex = job.title ? job.title->titleIndex : job.titleIndex;
  job.rowName = movieTitle + "[" + std::to_string(titleIndex + 1) + "]";
  job.destination = MakeUniquePath(outputFolder + job.rowName + "." + profileExt);
}

std::string ComposeRecorderPath(AppSettings& settings, const std::string& profileExt, bool reset) {
  if (settings.outputName.empty() || reset) settings.outputName = "Unknow";
  settings.outputPath = MakeUniquePath(settings.outputFolder + settings.outputName + "." + profileExt);
  return settings.outputPath;
}

std::string EncoderTargetPath(const std::string& outputFolder, const std::string& format,
                              const std::string& audioCodec, const std::string& destination) {
  if (format == "3ggp" && audioCodec == "amr_nb") return outputFolder + "temp.3gp";
  if (format == "3ggp2" && audioCodec == "amr_nb") return outputFolder + "temp.3g2";
  if (format == "au" || format == "amr" || format == "m4a" || format == "wav") return outputFolder + "temp.mp3";
  if (format == "swf") return outputFolder + "temp.swf";
  return destination;
}

std::string ScratchFilePath(const std::string& settingsFolder) { return settingsFolder + "tarn.drp"; }

bool CreateScratchFile(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string zeros(2048, '\0');
  out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  return static_cast<bool>(out.flush());
}

std::string ThumbnailPath(const std::string& destination) {
  const size_t dot = destination.rfind('.');
  return (dot == std::string::npos ? destination + "." : destination.substr(0, dot + 1)) + "THM";
}

std::string FileNamePart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string OutputBaseName(const std::string& destination) {
  const std::string name = FileNamePart(destination);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string HtmlPagePath(const std::string& outputFolder, const std::string& destination) {
  return outputFolder + OutputBaseName(destination) + ".html";
}

std::string HtmlMovieName(const std::string& destination, const std::string& movieExt) {
  return OutputBaseName(destination) + "." + movieExt;
}

}  // namespace tarn
