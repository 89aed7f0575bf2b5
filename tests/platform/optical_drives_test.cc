#include "platform/optical_drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarn::platform {

void PrintTo(const OpticalDrive& d, std::ostream* os) { *os << "{" << d.root << ", \"" << d.label << "\"}"; }

namespace {

using test::TempDir;
using test::WriteFile;

// The table as the kernel writes it: drives listed newest first.
std::string CdromInfo(const std::string& names) {
  return "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\n"
         "drive name:\t\t" + names + "\n"
         "drive speed:\t\t24\t24\n"
         "drive # of slots:\t1\t1\n"
         "Can close tray:\t\t1\t1\n"
         "Can play audio:\t\t1\t1\n"
         "Can read DVD:\t\t1\t1\n\n";
}


TEST(OpticalDrives, DriveNamesFromTheTable) {
  struct Case {
    std::string text;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {CdromInfo("sr1\tsr0"), {"sr0", "sr1"}},
      {CdromInfo("sr10\tsr2\tsr1\tsr0\tsr9"), {"sr0", "sr1", "sr2", "sr9", "sr10"}},
      {CdromInfo("sr0"), {"sr0"}},
      {CdromInfo("sr0\tsr0\t hdc"), {"hdc", "sr0"}},
      {CdromInfo("../sda\t.\t..\tsr0"), {"sr0"}},  // only plain node names
      {"drive name:\n", {}},
      {"CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\n", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCdromInfoDriveNames(c.text), c.names) << c.text;
}

TEST(OpticalDrives, TwoDrivesOneWithADisc) {
  TempDir dir;
  WriteFile(dir / "tree/readme.txt", "x");
  WriteFile(dir / "info", CdromInfo("sr1\tsr0"));
  WriteFile(dir / "dev/sr1", "");  // a drive without a medium reads nothing
  std::string cmd = "genisoimage -quiet -udf -V MOVIE -o '" + (dir / "dev/sr0") + "' '" + (dir / "tree") + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);

  const std::vector<OpticalDrive> expected = {{dir / "dev/sr0", "MOVIE"}, {dir / "dev/sr1", ""}};
  EXPECT_EQ(ListOpticalDrives({dir / "info", dir / "dev/"}), expected);
  // The device folder may be given without its trailing "/".
  EXPECT_EQ(ListOpticalDrives({dir / "info", dir / "dev"}), expected);
}

TEST(OpticalDrives, OnlyDrivesWithADeviceNode) {
  TempDir dir;
  WriteFile(dir / "info", CdromInfo("sr10\tsr2\tsr1\tsr0"));
  for (const char* node : {"sr0", "sr2", "sr10"}) WriteFile(dir / "dev/" + node, "");
  const std::vector<OpticalDrive> expected = {{dir / "dev/sr0", ""}, {dir / "dev/sr2", ""}, {dir / "dev/sr10", ""}};
  EXPECT_EQ(ListOpticalDrives({dir / "info", dir / "dev/"}), expected);
}

TEST(OpticalDrives, NoTableMeansNoDrives) {
  TempDir dir;
  WriteFile(dir / "dev/sr0", "");
  EXPECT_TRUE(ListOpticalDrives({dir / "missing-info", dir / "dev/"}).empty());
  WriteFile(dir / "info", "");
  EXPECT_TRUE(ListOpticalDrives({dir / "info", dir / "dev/"}).empty());
}

}  // namespace
}  // namespace tarn::platform
