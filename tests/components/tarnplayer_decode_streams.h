// Test support for the decoding modules: makes small program streams with
// ffmpeg and splits program streams (ffmpeg's or a disc's VOB) into the PES
// payloads the decoders take.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tarnplayer::test {

struct TestPes {
  int streamId = 0;   // 0xE0 video, 0xC0 MPEG audio, 0xBD private stream 1
  int substream = -1; // private stream 1: 0x20.. subpicture, 0x80 AC-3, 0x88 DTS, 0xA0 LPCM
  std::vector<uint8_t> payload;  // private stream 1: after the substream id byte
  int64_t pts = -1;
};

// Runs ffmpeg quietly with `args` (inputs, options and the output file).
inline bool RunFfmpeg(const std::string& args) {
  const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args;
  return std::system(command.c_str()) == 0;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int64_t ReadPts(const uint8_t* p) {
  return (int64_t{p[0] >> 1 & 7} << 30) | (int64_t{p[1]} << 22) | (int64_t{p[2] >> 1} << 15) |
         (int64_t{p[3]} << 7) | (p[4] >> 1);
}

// Splits an MPEG-2 program stream into its PES packets (MPEG-2 PES headers only).
inline std::vector<TestPes> ReadProgramStream(const std::string& path) {
  const std::vector<uint8_t> d = ReadBytes(path);
  std::vector<TestPes> out;
  size_t i = 0;
  while (i + 6 <= d.size()) {
    if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) {
      ++i;
      continue;
    }
    const int code = d[i + 3];
    if (code == 0xBA) {  // pack header
      if (i + 14 > d.size()) break;
      i += 14 + (d[i + 13] & 7);
      continue;
    }
    if (code == 0xB9) break;
    if (code < 0xBB) {
      ++i;
      continue;
    }
    const size_t start = i + 6, end = start + (d[i + 4] << 8 | d[i + 5]);
    if (end > d.size()) break;
    i = end;
    if (code == 0xBB || code == 0xBE || code == 0xBF) continue;  // system header, padding, nav
    if (end < start + 3 || (d[start] & 0xC0) != 0x80) continue;
    TestPes pes;
    pes.streamId = code;
    if (d[start + 1] & 0x80) pes.pts = ReadPts(&d[start + 3]);
    size_t payload = start + 3 + d[start + 2];
    if (payload > end) continue;
    if (code == 0xBD) {
      if (payload >= end) continue;
      pes.substream = d[payload++];
    }
    pes.payload.assign(d.begin() + payload, d.begin() + end);
    out.push_back(std::move(pes));
  }
  return out;
}

inline bool IsStream(const TestPes& pes, int streamId, int substream = -1) {
  return pes.streamId == streamId && (substream < 0 || pes.substream == substream);
}

inline int64_t FirstPts(const std::vector<TestPes>& packets, int streamId, int substream = -1) {
  for (const TestPes& p : packets)
    if (IsStream(p, streamId, substream) && p.pts >= 0) return p.pts;
  return -1;
}

}  // namespace tarnplayer::test
