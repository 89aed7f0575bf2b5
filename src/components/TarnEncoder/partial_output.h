#pragma once
// An output written under a temporary name beside its destination and
// renamed over it only when complete, so a failed or cancelled step never
// leaves a half-written destination.
#include <string>

namespace tarn::encoder {

class PartialOutput {
 public:
  explicit PartialOutput(std::string destination);
  ~PartialOutput();  // removes the temporary file unless committed
  PartialOutput(const PartialOutput&) = delete;
  PartialOutput& operator=(const PartialOutput&) = delete;

  // Creates a new, empty temporary file with a name no other file has;
  // false when the destination's folder cannot take it.
  bool Create();
  const std::string& path() const { return path_; }
  // Renames the finished file over the destination; false when that fails
  // (the temporary file is then removed by the destructor).
  bool Commit();

 private:
  std::string destination_;
  std::string path_;
  bool committed_ = false;
};

}  // namespace tarn::encoder
