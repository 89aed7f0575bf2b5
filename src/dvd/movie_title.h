#pragma once
// The movie title of a catalogued title: the base of its output file names.
#include <string>

namespace tarn {

// Replaces each of ? " \ / * : < > | by "_".
std::string CleanMovieTitle(std::string title);

// The movie title for a title of the disc at discPath, cleaned:
// - a disc device node or an ISO image file: the disc's volume label, or
//   "unknow" when it has none;
// - a folder: the name of the folder that holds VIDEO_TS (the path may be
//   that folder or its VIDEO_TS folder, in any letter case), or "unknow%d"
//   with titleNumber when there is no such name (e.g. "/").
std::string DiscMovieTitle(const std::string& discPath, int titleNumber);

}  // namespace tarn
