#include "cli/rip_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace tarn::cli {

const std::array<const char*, 10> kValueOptionNames = {
    "--video-codec", "--video-size", "--video-bitrate", "--frame-rate", "--tv-mode",
    "--audio-codec", "--audio-bitrate", "--sample-rate", "--channels", "--aspect-rate"};

namespace {

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ParseInt(const std::string& text, int* value) {
  double v = 0;
  if (!ParseNumber(text, &v) || v != std::floor(v) || std::fabs(v) > 1e9) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

bool ParseTimeText(const std::string& text, double* seconds) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
  if (parts.empty() || parts.size() > 3 || text.back() == ':') return false;
  double total = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    double v = 0;
    const bool last = i + 1 == parts.size();
    if (!ParseNumber(parts[i], &v) || v < 0) return false;
    if (!last && v != std::floor(v)) return false;
    if (i > 0 && v >= 60) return false;
    total = total * 60 + v;
  }
  *seconds = total;
  return true;
}

std::string ParseRipOptions(const std::vector<std::string>& args, RipOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      if (!o.disc.empty()) return "rip takes one disc (unexpected " + arg + ")";
      o.disc = arg;
      continue;
    }
    if (arg == "--yes") {
      o.yes = true;
      continue;
    }
    if (i + 1 >= args.size()) return arg + " needs a value";
    const std::string& v = args[++i];
    int n = 0;
    double d = 0;
    bool isValueItem = false;
    for (size_t k = 0; k < kValueOptionNames.size(); ++k) {
      if (arg == kValueOptionNames[k]) {
        o.values[k] = v;
        isValueItem = true;
      }
    }
    if (isValueItem) continue;
    if (arg == "--title") {
      if (!ParseInt(v, &n) || n < 1 || n > 99) return "--title needs a title number from 1 to 99, not " + v;
      o.titles.push_back(n);
    } else if (arg == "--profile") {
      if (!ParseInt(v, &n)) return "--profile needs a profile identifier (see the profiles command), not " + v;
      o.profileId = n;
    } else if (arg == "--quick") {
      if (!ParseInt(v, &n) || n < 0) return "--quick needs a quick-setting position (0, 1, ...), not " + v;
      o.quick = n;
    } else if (arg == "--volume") {
      if (!ParseNumber(v, &d) || d < 0 || d > 1000) return "--volume needs a percentage, not " + v;
      o.volume = d;
    } else if (arg == "--start" || arg == "--end") {
      if (!ParseTimeText(v, &d)) return arg + " needs seconds or hh:mm:ss, not " + v;
      (arg == "--start" ? o.start : o.end) = d;
    } else if (arg == "--audio") {
      if (!ParseInt(v, &n) || n < 0 || n > 7) return "--audio needs an audio stream number 0..7, not " + v;
      o.audio = n;
    } else if (arg == "--subtitle") {
      if (v == "none") {
        o.subtitle = -1;
      } else {
        if (!ParseInt(v, &n) || n < 0 || n > 31) return "--subtitle needs a subtitle stream number 0..31 or none, not " + v;
        o.subtitle = n;
      }
    } else if (arg == "--angle") {
      if (!ParseInt(v, &n) || n < 1 || n > 9) return "--angle needs an angle number 1..9, not " + v;
      o.angle = n;
    } else if (arg == "--crop") {
      std::array<int, 4> c{};
      std::stringstream in(v);
      std::string part;
      size_t count = 0;
      bool ok = true;
      while (std::getline(in, part, ',')) {
        if (count >= 4 || !ParseInt(part, &c[count]) || c[count] < 0) ok = false;
        ++count;
      }
      if (!ok || count != 4) return "--crop needs X,Y,W,H in source pixels, not " + v;
      o.crop = c;
    } else if (arg == "--name") {
      if (v.empty() || v.find('/') != std::string::npos) return "--name needs a movie title without \"/\"";
      o.name = v;
    } else if (arg == "--output-folder") {
      if (v.empty()) return "--output-folder needs a folder";
      o.outputFolder = v;
    } else if (arg == "--aspect") {
      if (v != "keep" && v != "zoom") return "--aspect needs keep or zoom, not " + v;
      o.aspect = v == "keep" ? 0 : 1;
    } else if (arg == "--threads") {
      if (!ParseInt(v, &n) || n < 1 || n > 8) return "--threads needs a number from 1 to 8, not " + v;
      o.threads = n;
    } else if (arg == "--author") {
      o.author = v;
    } else if (arg == "--album") {
      o.album = v;
    } else if (arg == "--genre") {
      o.genre = v;
    } else if (arg == "--year") {
      o.year = v;
    } else if (arg == "--comment") {
      o.comment = v;
    } else if (arg == "--track") {
      o.track = v;
    } else {
      return "unknown rip option " + arg + " (see --help)";
    }
  }
  if (o.disc.empty()) return "rip needs a disc (a VIDEO_TS folder, an ISO image or a device)";
  if (o.start && o.end && *o.end <= *o.start) return "--end must lie after --start";
  return "";
}

}  // namespace tarn::cli
