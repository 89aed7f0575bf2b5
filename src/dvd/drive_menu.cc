#include "dvd/drive_menu.h"

#include "dvd/movie_title.h"
#include "platform/paths.h"

namespace tarn {

std::string DriveMenuText(const platform::OpticalDrive& drive) {
  return drive.root + " " + (drive.label.empty() ? std::string(kNoDiscText) : drive.label);
}

std::vector<DriveMenuItem> BuildDriveMenu(const std::vector<platform::OpticalDrive>& drives) {
  std::vector<DriveMenuItem> items;
  items.push_back({kCmdOpenFromHardDisk, kOpenFromHardDiskText});
  int command = kCmdFirstDrive;
  for (const platform::OpticalDrive& drive : drives) {
    if (command > kCmdLastDrive) break;
    items.push_back({command++, DriveMenuText(drive)});
  }
  return items;
}

bool ApplyOpenDrive(int command, const std::vector<platform::OpticalDrive>& drives, const std::string& profileExt,
                    AppSettings& settings, std::string* discPath) {
  if (command < kCmdFirstDrive || command > kCmdLastDrive) return false;
  size_t index = static_cast<size_t>(command - kCmdFirstDrive);
  if (index >= drives.size()) return false;
  const platform::OpticalDrive& drive = drives[index];
  // Each drive up to the chosen one would set the names in turn; only the
  // chosen drive's values remain, so they are set once.
  std::string name = CleanMovieTitle(drive.label.empty() ? std::string(kNoDiscText) : drive.label);
  settings.outputName = name;
  settings.outputPath = settings.outputFolder + name + "." + profileExt;
  if (discPath) *discPath = drive.root;
  return true;
}

std::string DiscFolderFromBrowse(std::string path) { return platform::WithTrailingSlash(std::move(path)); }

}  // namespace tarn
