#pragma once
// The drive menu of the title ripper and the player/recorder: "Open From
// Hard Disk..." followed by one item per optical drive, and what choosing an
// item does to the recorder's output names. Toolkit-free: the windows turn
// the items into a popup menu.
//
// On this system a drive's root is its device node ("/dev/sr0"). The item
// text puts a space between node and label ("/dev/sr0 MOVIE",
// "/dev/sr1 [No Disc]") since the node has no trailing separator to set the
// label apart. A disc in a drive is opened from the device node itself: a
// trailing "/" is added only to folders (see DiscFolderFromBrowse), never to
// a device node.
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/optical_drives.h"

namespace tarn {

inline constexpr int kDriveMenuId = 213;
inline constexpr int kCmdOpenFromHardDisk = 1301;
inline constexpr int kCmdFirstDrive = 1302;
inline constexpr int kCmdLastDrive = 1499;
inline constexpr const char* kOpenFromHardDiskText = "Open From Hard Disk...";
inline constexpr const char* kNoDiscText = "[No Disc]";

struct DriveMenuItem {
  int command;
  std::string text;
  bool operator==(const DriveMenuItem&) const = default;
};

// "Open From Hard Disk..." (1301), then one item per drive in the given order
// with commands 1302, 1303, ...; drives beyond command 1499 are left out.
std::vector<DriveMenuItem> BuildDriveMenu(const std::vector<platform::OpticalDrive>& drives);

// The text of a drive's item: root, a space, and the label or "[No Disc]".
std::string DriveMenuText(const platform::OpticalDrive& drive);

// The choice of a drive command against a freshly listed set of drives. When
// the command names one of them, the recorder's outputName becomes that
// drive's label ("[No Disc]" when empty) and outputPath "%s%s.%s" of
// outputFolder, that name and profileExt; *discPath (when given) receives the
// drive's device node; returns true. Otherwise nothing changes and it
// returns false. Characters that cannot stand in a file name (? " \ / * : <
// > |) are replaced by "_" in the name, so a label cannot lead the recorder's
// file out of the output folder.
bool ApplyOpenDrive(int command, const std::vector<platform::OpticalDrive>& drives, const std::string& profileExt,
                    AppSettings& settings, std::string* discPath);

// A folder picked in the folder browser as a disc folder: "/" appended when
// missing. An empty path (nothing picked) stays empty.
std::string DiscFolderFromBrowse(std::string path);

}  // namespace tarn
