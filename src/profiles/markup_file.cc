// Loading a document from a file: UTF-16LE with the FF FE mark, otherwise
// UTF-8 text (a UTF-8 byte-order mark is dropped).
#include <cstdio>
#include <memory>
#include <string>

#include "app/log.h"
#include "platform/text_encoding.h"
#include "profiles/markup.h"

namespace tarn {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// The whole file; false when it cannot be opened or read (a folder, say).
bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->append(buffer, got);
  return !std::ferror(file.get());
}

}  // namespace

bool CMarkup::LoadDocumentFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) {
    Log(kLogError, "Cannot open file:%s ", path.c_str());
    return false;
  }
  const size_t bytesRead = bytes.size();
  std::string text;
  size_t characters;
  if (bytesRead >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    // Code units up to the first zero one; an odd last byte is a unit of
    // its own, as though the file ended in zero bytes.
    std::u16string units;
    units.reserve((bytesRead - 2) / 2 + 1);
    for (size_t i = 2; i < bytesRead; i += 2) {
      const unsigned lo = static_cast<unsigned char>(bytes[i]);
      const unsigned hi = i + 1 < bytesRead ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
      const char16_t unit = static_cast<char16_t>(lo | (hi << 8));
      if (unit == 0) break;
      units += unit;
    }
    characters = units.size();
    text = platform::Utf16ToUtf8(units);
  } else {
    size_t begin = 0;
    if (bytesRead >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) begin = 3;
    const size_t zero = bytes.find('\0', begin);
    text = bytes.substr(begin, zero == std::string::npos ? std::string::npos : zero - begin);
    characters = platform::Utf8Length(text);
  }
  // Far fewer characters than the file's size suggests: binary data, or
  // UTF-16 without its mark cut short at the first zero byte.
  if (static_cast<long long>(characters) < static_cast<long long>(bytesRead / 2) - 20) {
    Log(kLogError, "Error converting file to string (may contain binary data) file name:%s", path.c_str());
    return false;
  }
  if (!SetDocument(text)) {
    Log(kLogError, "Set Doc error, file name:%s", path.c_str());
    return false;
  }
  return true;
}

}  // namespace tarn
