#include "platform/ini_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <cctype>
#include <sys/stat.h>
#include <sstream>

namespace tarn::platform {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x < 0x80 && y < 0x80) {
      if (std::tolower(x) != std::tolower(y)) return false;
    } else if (x != y) {
      return false;
    }
  }
  return true;
}

std::string Unquote(std::string v) {
  if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
    return v.substr(1, v.size() - 2);
  return v;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool IniFile::Load(const std::string& path) {
  lines_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string raw;
  while (std::getline(in, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    Line line;
    line.text = raw;
    std::string t = Trim(raw);
    if (t.size() >= 2 && t.front() == '[') {
      size_t close = t.find(']');
      if (close != std::string::npos) {
        line.isSection = true;
        line.section = Trim(t.substr(1, close - 1));
      }
    } else if (!t.empty() && t.front() != ';') {
      size_t eq = t.find('=');
      if (eq != std::string::npos && eq > 0) {
        line.key = Trim(t.substr(0, eq));
        line.value = Trim(t.substr(eq + 1));
      }
    }
    lines_.push_back(std::move(line));
  }
  return true;
}

int IniFile::SectionLine(const std::string& section) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].isSection && EqualNoCase(lines_[i].section, section)) return static_cast<int>(i);
  return -1;
}

int IniFile::KeyLine(const std::string& section, const std::string& key) const {
  // Every header with this name counts: a file edited by hand may repeat one.
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.isSection) {
      inSection = EqualNoCase(l.section, section);
    } else if (inSection && !l.key.empty() && EqualNoCase(l.key, key)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::optional<std::string> IniFile::Find(const std::string& section, const std::string& key) const {
  int i = KeyLine(section, key);
  if (i < 0) return std::nullopt;
  return Unquote(lines_[static_cast<size_t>(i)].value);
}

std::string IniFile::Get(const std::string& section, const std::string& key) const {
  return Find(section, key).value_or(std::string());
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  int k = KeyLine(section, key);
  if (k >= 0) {
    Line& l = lines_[static_cast<size_t>(k)];
    l.value = value;
    l.text = l.key + "=" + value;
    return;
  }
  Line line;
  line.key = key;
  line.value = value;
  line.text = key + "=" + value;
  int s = SectionLine(section);
  if (s < 0) {
    Line header;
    header.isSection = true;
    header.section = section;
    header.text = "[" + section + "]";
    lines_.push_back(header);
    lines_.push_back(line);
    return;
  }
  // Insert after the last key of the section, before trailing blank lines.
  size_t end = static_cast<size_t>(s) + 1;
  size_t insertAt = end;
  for (; end < lines_.size() && !lines_[end].isSection; ++end)
    if (!Trim(lines_[end].text).empty()) insertAt = end + 1;
  lines_.insert(lines_.begin() + static_cast<long>(insertAt), line);
}

std::string IniFile::Text() const {
  std::string out;
  for (const Line& l : lines_) {
    out += l.text;
    out += "\r\n";
  }
  return out;
}

bool IniFile::Save(const std::string& path) const {
  std::string tmp = path + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, Text()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  ::chmod(path.c_str(), 0644);
  return true;
}

std::string ReadIniValue(const std::string& path, const std::string& section, const std::string& key) {
  IniFile ini;
  ini.Load(path);
  return ini.Get(section, key);
}

bool WriteIniValue(const std::string& path, const std::string& section, const std::string& key,
                   const std::string& value) {
  IniFile ini;
  ini.Load(path);
  ini.Set(section, key, value);
  return ini.Save(path);
}

}  // namespace tarn::platform
