#pragma once
// The volume label of a disc: what a file manager shows for a DVD or CD in a
// drive, or for an ISO image file.
//
// Order of preference, as desktop environments and other systems show it:
// the UDF Logical Volume Identifier, then the UDF Primary Volume Descriptor's
// Volume Identifier, then the ISO 9660 Joliet volume identifier, then the
// ISO 9660 primary volume identifier (trailing spaces trimmed). DVD-Video
// discs are UDF/ISO 9660 bridge discs, so they give the UDF label.
#include <string>
#include <string_view>

namespace tarn::platform {

// Label of a disc device node (e.g. "/dev/sr0") or an image file, in UTF-8.
// "" when nothing readable is there: no medium, tray open, not a disc file
// system, unreadable or damaged descriptors, a folder, a missing path. Reads
// only a bounded number of 2048-byte sectors and never waits for a medium.
std::string ReadVolumeLabel(const std::string& deviceOrImage);

// The same for an image held in memory (used for checks of damaged images).
std::string VolumeLabelFromImage(std::string_view image);

}  // namespace tarn::platform
