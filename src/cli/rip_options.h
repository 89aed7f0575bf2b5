#pragma once
// The options of "rip": which titles, the profile and its values, the job's
// range, streams, crop and names, the output folder and the metadata.
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarn::cli {

struct RipOptions {
  std::string disc;
  std::vector<int> titles;                 // 1-based; empty: the checked main movie
  std::optional<int> profileId;
  std::array<std::optional<std::string>, 10> values;  // by the profile's value items, in file order
  std::optional<int> quick;                // quick-setting position
  std::optional<double> volume;            // percent
  std::optional<double> start, end;        // seconds
  std::optional<int> audio;                // audio stream number
  std::optional<int> subtitle;             // subtitle stream number, -1 none
  std::optional<int> angle;                // 1-based
  std::optional<std::array<int, 4>> crop;  // x, y, width, height
  std::optional<std::string> name;         // movie title
  std::optional<std::string> outputFolder;
  std::optional<int> aspect;               // 0 keep, 1 zoom
  std::optional<int> threads;              // 1..8
  std::optional<std::string> author, album, genre, year, comment, track;
  bool yes = false;                        // answer the free-space question with Yes
};

// The command-line names of the profile's ten value items, in file order.
extern const std::array<const char*, 10> kValueOptionNames;

// Parses the arguments after "rip"; returns "" or the usage problem.
std::string ParseRipOptions(const std::vector<std::string>& args, RipOptions& options);

// "75", "2.5", "01:02:03", "02:03.5": seconds; false when not a time.
bool ParseTimeText(const std::string& text, double* seconds);

}  // namespace tarn::cli
