#pragma once
// Real media files for tests: made with the ffmpeg command-line tool and
// checked with ffprobe. Header-only so any test executable can use it.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace tarn::test {

// Runs `command` through the shell; its standard output, or "" on failure.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer{};
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), got);
  return ::pclose(pipe) == 0 ? out : std::string();
}

inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// ffmpeg <arguments> <path>; true when it wrote the file.
inline bool MakeMedia(const std::string& path, const std::string& arguments) {
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " " + ShellQuote(path) + " 2>&1";
  return std::system(command.c_str()) == 0;
}

// key=value lines of ffprobe for one stream ("v:0", "a:0") or the format
// (stream ""), with the packets counted.
inline std::map<std::string, std::string> Probe(const std::string& path, const std::string& stream) {
  std::string command = "ffprobe -v error -count_packets ";
  if (stream.empty())
    command += "-show_entries format=format_name,duration ";
  else
    command += "-select_streams " + stream +
               " -show_entries stream=codec_name,width,height,sample_rate,channels,nb_read_packets,duration,"
               "bit_rate,pix_fmt ";
  command += "-of default=noprint_wrappers=1 " + ShellQuote(path) + " 2>/dev/null";
  std::map<std::string, std::string> values;
  std::istringstream lines(CommandOutput(command));
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

// The decoded length of the first audio stream in seconds (from the decoded
// samples, not from the container's claim); -1 when it cannot be read.
inline double DecodedAudioSeconds(const std::string& path) {
  const std::string out = CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                                        " -map 0:a:0 -ac 1 -ar 8000 -f s16le - 2>/dev/null | wc -c");
  if (out.empty()) return -1.0;
  return std::strtod(out.c_str(), nullptr) / (2.0 * 8000.0);
}

}  // namespace tarn::test
