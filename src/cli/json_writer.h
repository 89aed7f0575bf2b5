#pragma once
// A small streaming JSON writer for the command-line front end's --json
// output. Keys and values are written in call order; commas are handled.
#include <cstdint>
#include <string>
#include <vector>

namespace tarn::cli {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const std::string& key);
  JsonWriter& String(const std::string& value);
  JsonWriter& Int(int64_t value);
  JsonWriter& Number(double value);
  JsonWriter& Bool(bool value);

  JsonWriter& Field(const std::string& key, const std::string& value) { return Key(key).String(value); }
  JsonWriter& Field(const std::string& key, const char* value) { return Key(key).String(value); }
  JsonWriter& Field(const std::string& key, int64_t value) { return Key(key).Int(value); }
  JsonWriter& Field(const std::string& key, int32_t value) { return Key(key).Int(value); }
  JsonWriter& Field(const std::string& key, double value) { return Key(key).Number(value); }
  JsonWriter& Field(const std::string& key, bool value) { return Key(key).Bool(value); }

  const std::string& Text() const { return out_; }

 private:
  void BeforeValue();
  std::string out_;
  std::vector<bool> needComma_;
  bool afterKey_ = false;
};

std::string JsonEscape(const std::string& text);

}  // namespace tarn::cli
