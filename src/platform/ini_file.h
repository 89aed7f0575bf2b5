#pragma once
// INI files with the behaviour the settings and product files rely on:
// sections and keys are looked up without regard to case and keep the case
// they were written with, unknown lines survive a rewrite, writing one key
// keeps the rest of the file, and a save replaces the file atomically
// (temporary file in the same folder, then rename).
#include <optional>
#include <string>
#include <vector>

namespace tarn::platform {

class IniFile {
 public:
  // Reads the file; a missing or unreadable file gives an empty document and
  // false. Any byte sequence is accepted: lines that are neither a section
  // header nor "key=value" are kept as they are.
  bool Load(const std::string& path);

  // The trimmed value (one pair of enclosing quotes removed), or empty when
  // the section or key is absent.
  std::string Get(const std::string& section, const std::string& key) const;
  std::optional<std::string> Find(const std::string& section, const std::string& key) const;

  // Replaces the value of an existing key in place, or appends the key to its
  // section (appending the section when it is new).
  void Set(const std::string& section, const std::string& key, const std::string& value);

  // Writes the whole document to a temporary file beside `path` and renames
  // it over `path`. False when the folder cannot be written.
  bool Save(const std::string& path) const;

  std::string Text() const;

 private:
  struct Line {
    std::string text;     // the raw line for anything that is not a key
    std::string key;      // empty for section headers and other lines
    std::string value;
    bool isSection = false;
    std::string section;  // section name for headers
  };
  // Index of the header line of the section, or -1.
  int SectionLine(const std::string& section) const;
  int KeyLine(const std::string& section, const std::string& key) const;

  std::vector<Line> lines_;
};

// One-shot helpers in the manner of the private-profile calls: each reads
// the file again, and a write rewrites it atomically.
std::string ReadIniValue(const std::string& path, const std::string& section, const std::string& key);
bool WriteIniValue(const std::string& path, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace tarn::platform
