#pragma once
// Builds small profile folders for tests: a "ProfileConfig.xml" and profile
// files in the layout the catalogue reads.
#include <string>
#include <vector>

namespace tarn::test {

struct ProfileSpec {
  std::string subfolder = "video";
  std::string file;             // file name, e.g. "a.xml"
  std::string format = "mp4";
  std::string ext = "mp4";
  std::string name = "Profile";
  int listIndex = 0;
  std::string category = "Video";
  std::vector<std::string> videoBitrates = {"256", "512", "768"};
  std::vector<std::string> audioBitrates = {"64", "128"};
  int videoBitrateDefault = 1;
  int audioBitrateDefault = 1;
  int quickDefault = 0;
  std::string audioCodec = "aac";
};

// One profile file's text.
std::string ProfileXml(const ProfileSpec& spec);

// "ProfileConfig.xml" with one category per name; each category's
// profileIDStart is given in `starts` (0 when missing).
std::string ProfileConfigXml(const std::vector<std::string>& names, const std::vector<int>& starts = {});

// The 18 categories the program expects: "Recent", "C1".."C16", "All".
std::vector<std::string> StandardCategoryNames();

// Writes `programFolder`/profile/ProfileConfig.xml and every profile.
void WriteCatalogue(const std::string& programFolder, const std::vector<std::string>& categories,
                    const std::vector<ProfileSpec>& profiles, const std::vector<int>& starts = {});

}  // namespace tarn::test
