#pragma once
// The HTML pages written beside FLV and SWF outputs, and the player movie
// each page plays its movie with.
#include <string>

namespace tarn {

// Web addresses the pages point at for the browser plug-in and the maker.
inline constexpr const char* kPluginCabinetAddress = "https://tarn-orvane.example/player/flash-plugin.cab";
inline constexpr const char* kPluginDownloadAddress = "https://tarn-orvane.example/player/get-plugin.html";
inline constexpr const char* kMakerWebSiteAddress = "https://tarn-orvane.example/";

// The page texts for the movie file name `movie` (base name + ".flv" or
// ".swf") shown at `width` x `height`.
std::string FlvPageText(const std::string& movie, int width, int height);
std::string SwfPageText(const std::string& movie, int width, int height);

// Writes `text` to `pagePath` in one piece (created or truncated); false
// when the file cannot be written completely.
bool WriteHtmlPage(const std::string& pagePath, const std::string& text);

// Copies the player movie `playerName` from `programFolder` into
// `outputFolder` under the same name, replacing an existing copy; false when
// it cannot.
bool CopyPlayerMovie(const std::string& programFolder, const std::string& outputFolder,
                     const std::string& playerName);

}  // namespace tarn
