#pragma once
// Readable descriptions of a title set's audio and subpicture attributes,
// such as "English AC3 6ch" or "Français MPEG1 2ch".
#include <cstdint>
#include <string>

namespace tarn::dvdreader {

// The language name for a two-letter ISO 639 code stored as on the disc
// (first letter in the high byte). Unknown codes give the code itself; an
// empty or unreadable code gives "Unknown".
std::string LanguageName(uint16_t code);

// The coding name of the audio attribute's coding field: "AC3", "MPEG1",
// "MPEG2", "LPCM", "DTS" (and "SDDS" or "Unknown" for the rest).
std::string AudioCodingName(unsigned coding);

// "<language> <coding> <n>ch". `has_language` is the attribute's language
// type (1 = a language code is given).
std::string AudioDescription(bool has_language, uint16_t language, unsigned coding,
                             unsigned channels);

// The language of a subpicture stream, "Unknown" when none is given.
std::string SubtitleDescription(bool has_language, uint16_t language);

}  // namespace tarn::dvdreader
