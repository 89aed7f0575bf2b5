#include "stream_names.h"

#include <array>
#include <cctype>
#include <string_view>

namespace tarn::dvdreader {
namespace {

struct Language {
  std::string_view code;
  std::string_view name;
};

// The languages found on most discs, named in their own language.
constexpr std::array<Language, 36> kLanguages{{
    {"en", "English"},    {"fr", "Français"},   {"de", "Deutsch"},    {"es", "Español"},
    {"it", "Italiano"},   {"ja", "日本語"},     {"zh", "中文"},       {"ko", "한국어"},
    {"nl", "Nederlands"}, {"pt", "Português"},  {"ru", "Русский"},    {"sv", "Svenska"},
    {"da", "Dansk"},      {"no", "Norsk"},      {"fi", "Suomi"},      {"pl", "Polski"},
    {"cs", "Čeština"},    {"hu", "Magyar"},     {"el", "Ελληνικά"},   {"tr", "Türkçe"},
    {"he", "עברית"},      {"ar", "العربية"},    {"hi", "हिन्दी"},        {"th", "ไทย"},
    {"is", "Íslenska"},   {"ro", "Română"},     {"sk", "Slovenčina"}, {"sl", "Slovenščina"},
    {"hr", "Hrvatski"},   {"sr", "Српски"},     {"bg", "Български"},  {"uk", "Українська"},
    {"ca", "Català"},     {"et", "Eesti"},      {"lv", "Latviešu"},   {"lt", "Lietuvių"},
}};

}  // namespace

std::string LanguageName(uint16_t code) {
  const char letters[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  if (!std::isalpha(static_cast<unsigned char>(letters[0])) ||
      !std::isalpha(static_cast<unsigned char>(letters[1]))) {
    return "Unknown";
  }
  const std::string lower{static_cast<char>(std::tolower(static_cast<unsigned char>(letters[0]))),
                          static_cast<char>(std::tolower(static_cast<unsigned char>(letters[1])))};
  for (const Language& language : kLanguages) {
    if (language.code == lower) return std::string(language.name);
  }
  return lower;
}

std::string AudioCodingName(unsigned coding) {
  switch (coding) {
    case 0: return "AC3";
    case 2: return "MPEG1";
    case 3: return "MPEG2";
    case 4: return "LPCM";
    case 5: return "SDDS";
    case 6: return "DTS";
    default: return "Unknown";
  }
}

std::string AudioDescription(bool has_language, uint16_t language, unsigned coding,
                             unsigned channels) {
  const std::string name = has_language ? LanguageName(language) : "Unknown";
  return name + " " + AudioCodingName(coding) + " " + std::to_string(channels) + "ch";
}

std::string SubtitleDescription(bool has_language, uint16_t language) {
  return has_language ? LanguageName(language) : "Unknown";
}

}  // namespace tarn::dvdreader
