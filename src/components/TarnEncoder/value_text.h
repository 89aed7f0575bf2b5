#pragma once
// Reading the value texts the host passes (bit rates, sample rates, channels).
#include <string>

namespace tarn::encoder {

// "128k", "12.2", " 7.95k" -> kilobits per second; -1 when the text holds no
// positive number.
double ParseKilobits(const char* text);
// A positive whole number ("44100"); -1 otherwise.
int ParsePositiveInt(const char* text);
// The channel count from the first character of `text` ("2" or "2 channels"),
// 1 to 8; -1 otherwise.
int ParseChannels(const char* text);

}  // namespace tarn::encoder
