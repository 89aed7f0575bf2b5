#pragma once
// How output files, temporary files and side files are named, and the rule
// that keeps an existing file from being overwritten.
#include <string>

namespace tarn {

struct AppSettings;

// A path that names no existing file: "name.ext" becomes "name_0.ext", and a
// name that already ends in "_N" counts on to "_N+1", until the name is free.
std::string MakeUniquePath(const std::string& path);

// Names a grid row's outputs from its title's movie title M and title index
// i: rowName = M + "[" + (i + 1) + "]", destination = outputFolder + rowName
// + "." + ext, made unique.
struct RipJob;
void NameRowOutputs(RipJob& job, const std::string& outputFolder, const std::string& profileExt);

// The recorder's output: outputFolder + stem + "." + ext, where the stem is
// outputName unless it is empty or `reset` is asked, in which case it is
// "Unknow" (and becomes the new outputName). The result is made unique and
// stored in outputPath, which is returned.
std::string ComposeRecorderPath(AppSettings& settings, const std::string& profileExt, bool reset);

// The file the encoder writes for a profile's format and audio codec: a
// fixed name in the output folder when a post step turns it into the
// destination, else the destination itself.
std::string EncoderTargetPath(const std::string& outputFolder, const std::string& format,
                              const std::string& audioCodec, const std::string& destination);

// The scratch file handed to the encoder, in the settings folder.
std::string ScratchFilePath(const std::string& settingsFolder);
// Creates (overwriting) the scratch file with 2048 zero bytes; false when it
// cannot be written.
bool CreateScratchFile(const std::string& path);

// Side files of a finished output.
std::string ThumbnailPath(const std::string& destination);  // up to the last "." + "THM"
std::string OutputBaseName(const std::string& destination);  // between the last "/" and the last "."
std::string HtmlPagePath(const std::string& outputFolder, const std::string& destination);
std::string HtmlMovieName(const std::string& destination, const std::string& movieExt);  // base + "." + ext
inline constexpr const char* kFlvPlayerFile = "flv_player.swf";
inline constexpr const char* kSwfPlayerFile = "swf_player.swf";

// The text after the last "/" (the grid's "Destination File" cell).
std::string FileNamePart(const std::string& path);

}  // namespace tarn
