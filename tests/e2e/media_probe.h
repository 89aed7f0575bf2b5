#pragma once
// Runs the front end and reads its output files the way a player would:
// ffprobe for the container and streams, ffmpeg for decoded pictures and
// sound.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarn::e2e {

struct CommandResult {
  int status = -1;
  std::string out, err;
};

// Runs a shell command line; stdout and stderr are captured.
CommandResult Run(const std::string& commandLine);
std::string Quote(const std::string& s);

// tarn-orvane-cli with a private settings folder and videos folder.
CommandResult Cli(const test::TempDir& home, const std::string& args);

// The path after "Completed " on the output, or "" when the job failed.
std::string CompletedPath(const std::string& cliOut);

// key=value pairs ffprobe prints for one stream ("v:0", "a:0") and for the
// container ("format"). Empty when the stream does not exist.
std::map<std::string, std::string> ProbeStream(const std::string& file, const std::string& stream);
std::map<std::string, std::string> ProbeFormat(const std::string& file);
double Number(const std::map<std::string, std::string>& values, const std::string& key);

// Start times (seconds) of the pictures whose average brightness is above
// half, decoded at the stream's own timing.
std::vector<double> FlashTimes(const std::string& file);
// Start times (seconds) of the sound bursts that follow at least 0.3 s of
// quiet, decoded to 48 kHz mono.
std::vector<double> BeepTimes(const std::string& file);
// Decoded length of the first audio stream in seconds (48 kHz mono decode).
double AudioLength(const std::string& file);
// Decoded length of the first video stream: the last picture's time plus
// one picture duration.
double VideoLength(const std::string& file);

}  // namespace tarn::e2e
