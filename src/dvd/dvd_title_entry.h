#pragma once
// One catalogued title of a disc: its streams and angles, the user's choice
// among them, and the movie title that names its output files.
#include <string>
#include <vector>

namespace tarn {

struct DvdTitleEntry {
  std::vector<std::string> subtitleNames;        // one per subtitle stream present, stream order
  std::vector<std::string> audioNames;           // one per audio stream present, stream order
  std::vector<unsigned> audioStreamNumbers;      // 0..7, same order as audioNames
  std::vector<unsigned> subtitleStreamNumbers;   // 0..31, same order as subtitleNames
  std::vector<unsigned> angleNumbers;            // 1..n
  std::string movieTitle;                        // base of the output file names
  std::string secondName;
  int gridItem = -1;                             // the title's row in the source grid
  std::string discFolder;                        // ends in "/"
  int reserved1 = 0;
  int reserved2 = 0;
  int titleIndex = 0;                            // title number - 1
  int reserved3 = 0;
  int selectedAudio = 0;                         // index into the audio lists
  int reserved4 = 0;
  int selectedSubtitle = -1;                     // index into the subtitle lists, -1 none
  int selectedAngle = 1;                         // 1-based angle number
  int reserved5 = 0;
  int reserved6 = 0;
  float aspectRatio = 1.0f;                      // 1.33333, 1.77778, or 1.0 when unknown
  double duration = 0.0;                         // seconds
  int reserved7 = 255;
  int reserved8 = 1;
  int reserved9 = 0xFFFFFF;
};

}  // namespace tarn
