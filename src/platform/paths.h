#pragma once
// Where the program finds its read-only data and where it keeps its own files.
#include <string>

namespace tarn::platform {

// Folder of the running executable, ending in "/".
std::string ProgramFolder();

// Folder for Settings.ini, Log/, configure.ini and tarn.drp, ending in "/":
// $TARN_ORVANE_HOME when set, else $XDG_CONFIG_HOME/tarn-orvane/, else
// ~/.config/tarn-orvane/. Not created here.
std::string SettingsFolder();

// Default output folder, ending in "/": $XDG_VIDEOS_DIR/TarnOrvane/ when the
// user has a videos folder (environment or user-dirs.dirs), else
// ~/Videos/TarnOrvane/.
std::string DefaultOutputFolder();

// Appends "/" unless the text already ends in one (or is empty).
std::string WithTrailingSlash(std::string folder);

// Creates the folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& folder);

bool FileExists(const std::string& path);
// True when `path` names a folder (following links).
bool IsFolder(const std::string& path);

}  // namespace tarn::platform
