#pragma once
// The optical drives of the machine with the labels of the discs in them.
#include <string>
#include <vector>

namespace tarn::platform {

struct OpticalDrive {
  std::string root;   // device node, e.g. "/dev/sr0"; also the path a disc is opened from
  std::string label;  // volume label of the disc, "" when no disc or no label
  bool operator==(const OpticalDrive&) const = default;
};

// Where the drives are looked up; tests point these at a scratch folder.
struct DriveSystem {
  std::string cdromInfoPath = "/proc/sys/dev/cdrom/info";  // the kernel's CD-ROM table
  std::string deviceFolder = "/dev/";                      // folder of the device nodes
};

// The drives named on the "drive name:" line of the CD-ROM table whose device
// node exists, sorted by natural name (sr0, sr1, ..., sr10), each with its
// current label. No table (no CD-ROM driver loaded) means no drives.
std::vector<OpticalDrive> ListOpticalDrives(const DriveSystem& sys = DriveSystem());

// Drive names from the text of the CD-ROM table, sorted and without repeats;
// names that could not be a device node name are left out.
std::vector<std::string> ParseCdromInfoDriveNames(const std::string& infoText);

}  // namespace tarn::platform
