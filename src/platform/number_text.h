#pragma once
// Numbers read from text the way the settings and profile files expect:
// leading white space and a sign, then decimal digits; text that is not a
// number gives 0 and anything after the digits is ignored. Values beyond
// the type's range are clamped.
#include <cstdint>
#include <string>

namespace tarn::platform {
int32_t ParseInt32(const std::string& text);
int64_t ParseInt64(const std::string& text);
// A decimal number with an optional fraction; 0 when there is none.
double ParseDouble(const std::string& text);
}  // namespace tarn::platform
