#include "media_probe.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tarn::e2e {

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

CommandResult Run(const std::string& commandLine) {
  test::TempDir io;
  const std::string cmd = "(" + commandLine + ") >" + io / "out" + " 2>" + io / "err" + " </dev/null";
  CommandResult r;
  const int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = test::ReadFile(io / "out");
  r.err = test::ReadFile(io / "err");
  return r;
}

CommandResult Cli(const test::TempDir& home, const std::string& args) {
  return Run("TARN_ORVANE_HOME=" + Quote(home.path()) + " XDG_VIDEOS_DIR=" + Quote(home / "videos") + " " +
             test::ProgramDir() + "tarn-orvane-cli " + args);
}

std::string CompletedPath(const std::string& cliOut) {
  std::istringstream lines(cliOut);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("Completed ", 0) == 0) return line.substr(10);
  }
  return "";
}

namespace {

std::map<std::string, std::string> KeyValues(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return values;
}

// Lines of "time,value" from ffprobe's csv output.
std::vector<std::pair<double, double>> TimedValues(const std::string& text) {
  std::vector<std::pair<double, double>> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    rows.emplace_back(std::atof(line.c_str()), std::atof(line.c_str() + comma + 1));
  }
  return rows;
}

std::vector<std::pair<double, double>> FrameBrightness(const std::string& file) {
  // The movie source reads its file name through the filter graph's own
  // escaping, which output names such as "feature[4].mp4" would trip; a
  // link with a plain name avoids it.
  test::TempDir io;
  const std::string plain = io / "movie";
  std::filesystem::create_symlink(file, plain);
  const CommandResult r = Run("ffprobe -v error -f lavfi -i " + Quote("movie=" + plain + ",signalstats") +
                              " -show_entries frame=best_effort_timestamp_time:frame_tags=lavfi.signalstats.YAVG"
                              " -of csv=p=0");
  return TimedValues(r.out);
}

}  // namespace

std::map<std::string, std::string> ProbeStream(const std::string& file, const std::string& stream) {
  return KeyValues(Run("ffprobe -v error -select_streams " + stream +
                       " -show_entries stream=codec_name,width,height,duration,sample_rate,channels,nb_frames"
                       " -of default=nw=1 " + Quote(file))
                       .out);
}

std::map<std::string, std::string> ProbeFormat(const std::string& file) {
  return KeyValues(
      Run("ffprobe -v error -show_entries format=format_name,duration:format_tags -of default=nw=1 " + Quote(file)).out);
}

double Number(const std::map<std::string, std::string>& values, const std::string& key) {
  const auto it = values.find(key);
  return it == values.end() ? std::nan("") : std::atof(it->second.c_str());
}

std::vector<double> FlashTimes(const std::string& file) {
  std::vector<double> times;
  bool wasBright = false;
  for (const auto& [time, luma] : FrameBrightness(file)) {
    const bool bright = luma > 128;
    if (bright && !wasBright) times.push_back(time);
    wasBright = bright;
  }
  return times;
}

double VideoLength(const std::string& file) {
  const auto frames = FrameBrightness(file);
  if (frames.size() < 2) return 0;
  const double step = frames[1].first - frames[0].first;
  return frames.back().first - frames.front().first + step;
}

namespace {

std::string DecodedSound(const std::string& file) {
  test::TempDir io;
  const std::string pcm = io / "sound.raw";
  Run("ffmpeg -v error -i " + Quote(file) + " -map 0:a:0 -ac 1 -ar 48000 -f s16le -y " + Quote(pcm));
  return test::ReadFile(pcm);
}

}  // namespace

double AudioLength(const std::string& file) { return static_cast<double>(DecodedSound(file).size() / 2) / 48000.0; }

std::vector<double> BeepTimes(const std::string& file) {
  const std::string bytes = DecodedSound(file);
  const size_t count = bytes.size() / 2;
  const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
  std::vector<double> times;
  size_t quietRun = 48000;  // the start counts as quiet
  for (size_t i = 0; i < count; ++i) {
    if (std::abs(static_cast<int>(samples[i])) > 2000) {
      if (quietRun >= 14400) times.push_back(static_cast<double>(i) / 48000.0);
      quietRun = 0;
    } else {
      ++quietRun;
    }
  }
  return times;
}

}  // namespace tarn::e2e
