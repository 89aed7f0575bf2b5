#include "dvd/movie_title.h"

#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/volume_label.h"

namespace tarn {
namespace {

std::string StripTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::string LastComponent(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name of the folder holding VIDEO_TS, "" when there is none.
std::string DiscFolderName(const std::string& discPath) {
  std::string path = StripTrailingSlashes(discPath);
  if (path.empty()) return "";  // "" or the root folder
  if (::strcasecmp(LastComponent(path).c_str(), "VIDEO_TS") == 0) {
    size_t slash = path.rfind('/');
    // A relative "VIDEO_TS" lies in the current folder.
    path = slash == std::string::npos ? std::string(".") : StripTrailingSlashes(path.substr(0, slash));
    if (path.empty()) return "";  // "/VIDEO_TS"
  }
  std::string name = LastComponent(path);
  if (name == "." || name == "..") {
    // Only the real folder has a name worth using.
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return "";
    name = LastComponent(StripTrailingSlashes(real));
    ::free(real);
  }
  return name;
}

}  // namespace

std::string CleanMovieTitle(std::string title) {
  for (char& c : title) {
    if (std::strchr("?\"\\/*:<>|", c) && c != '\0') c = '_';
  }
  return title;
}

std::string DiscMovieTitle(const std::string& discPath, int titleNumber) {
  struct stat st;
  bool isDisc = ::stat(discPath.c_str(), &st) == 0 && (S_ISBLK(st.st_mode) || S_ISREG(st.st_mode));
  std::string title;
  if (isDisc) {
    title = platform::ReadVolumeLabel(discPath);
    if (title.empty()) title = "unknow";
  } else {
    title = DiscFolderName(discPath);
    if (title.empty()) title = "unknow" + std::to_string(titleNumber);
  }
  return CleanMovieTitle(std::move(title));
}

}  // namespace tarn
