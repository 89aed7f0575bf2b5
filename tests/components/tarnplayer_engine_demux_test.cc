// Pack splitting: which payload goes to which decoder, with which time
// stamp, and what a damaged pack yields.
#include <gtest/gtest.h>

#include <vector>

#include "ps_demux.h"

namespace tarnplayer {
namespace {

// Builds a 2048-byte MPEG-2 pack from PES packets (stream id, body bytes).
class PackBuilder {
 public:
  PackBuilder() {
    bytes_ = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
  }
  // A PES packet with an MPEG-2 header; pts < 0: none.
  PackBuilder& Pes(uint8_t streamId, const std::vector<uint8_t>& payload, int64_t pts = -1) {
    std::vector<uint8_t> body = {0x81, uint8_t(pts >= 0 ? 0x80 : 0x00), uint8_t(pts >= 0 ? 5 : 0)};
    if (pts >= 0) {
      body.push_back(uint8_t(0x21 | ((pts >> 29) & 0x0E)));
      body.push_back(uint8_t(pts >> 22));
      body.push_back(uint8_t(0x01 | ((pts >> 14) & 0xFE)));
      body.push_back(uint8_t(pts >> 7));
      body.push_back(uint8_t(0x01 | ((pts << 1) & 0xFE)));
    }
    body.insert(body.end(), payload.begin(), payload.end());
    return Raw(streamId, body);
  }
  PackBuilder& Raw(uint8_t streamId, const std::vector<uint8_t>& body, size_t claimedLength = 0) {
    size_t length = claimedLength ? claimedLength : body.size();
    bytes_.insert(bytes_.end(), {0x00, 0x00, 0x01, streamId, uint8_t(length >> 8), uint8_t(length)});
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    return *this;
  }
  // Pads to 2048 bytes with a padding stream, as packs on a disc are.
  std::vector<uint8_t> Build() {
    std::vector<uint8_t> pack = bytes_;
    if (pack.size() + 6 <= 2048) {
      size_t left = 2048 - pack.size() - 6;
      pack.insert(pack.end(), {0x00, 0x00, 0x01, 0xBE, uint8_t(left >> 8), uint8_t(left)});
      pack.insert(pack.end(), left, 0xFF);
    }
    pack.resize(2048, 0xFF);
    return pack;
  }

 private:
  std::vector<uint8_t> bytes_;
};

TEST(PackSplitTest, EachPayloadIsClassifiedWithItsStreamAndTimeStamp) {
  struct Case {
    uint8_t streamId;
    std::vector<uint8_t> payload;  // for private stream 1 starting with the substream id
    PesKind kind;
    int stream;
    size_t size;  // of the payload handed on
  };
  const std::vector<Case> cases = {
      {0xE0, {0x00, 0x00, 0x01, 0xB3, 1, 2, 3}, PesKind::Video, 0, 7},
      {0xC3, {0xFF, 0xFD, 1, 2}, PesKind::MpegAudio, 3, 4},
      {0xBD, {0x81, 1, 0, 1, 0x0B, 0x77}, PesKind::Ac3, 1, 5},  // after the substream id
      {0xBD, {0x89, 1, 0, 1, 0x7F}, PesKind::Dts, 1, 4},
      {0xBD, {0xA2, 1, 0, 4, 0, 0x80, 0x00, 9, 9}, PesKind::Lpcm, 2, 8},
      {0xBD, {0x25, 0x02, 0x62, 7}, PesKind::Subpicture, 5, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.payload[0]));
    std::vector<uint8_t> pack = PackBuilder().Pes(c.streamId, c.payload, 0x1ABCDEF01).Build();
    std::vector<PesPayload> out;
    ASSERT_TRUE(SplitPack(pack.data(), pack.size(), out));
    ASSERT_EQ(out.size(), 1u);  // the padding stream is no payload
    EXPECT_EQ(out[0].kind, c.kind);
    EXPECT_EQ(out[0].stream, c.stream);
    EXPECT_EQ(out[0].size, c.size);
    EXPECT_EQ(out[0].pts90k, 0x1ABCDEF01);  // 33 bits
    EXPECT_EQ(out[0].data[out[0].size - 1], c.payload.back());
  }
}

TEST(PackSplitTest, SeveralPacketsWithAndWithoutTimeStampsAndSkippedStreams) {
  std::vector<uint8_t> pack = PackBuilder()
                                  .Raw(0xBF, std::vector<uint8_t>(20, 0))  // navigation data: skipped
                                  .Pes(0xE0, {1, 2, 3}, 90000)
                                  .Pes(0xE0, {4, 5})
                                  .Pes(0xBD, {0xFF, 1})  // unknown substream: skipped
                                  .Build();
  std::vector<PesPayload> out;
  ASSERT_TRUE(SplitPack(pack.data(), pack.size(), out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].pts90k, 90000);
  EXPECT_EQ(out[1].pts90k, -1);
  EXPECT_EQ(out[1].size, 2u);
}

TEST(PackSplitTest, DamagedPacksAreRefusedKeepingWhatParsedBefore) {
  std::vector<PesPayload> out;
  std::vector<uint8_t> garbage(2048, 0xAA);
  EXPECT_FALSE(SplitPack(garbage.data(), garbage.size(), out));
  EXPECT_TRUE(out.empty());

  // A packet claiming more bytes than the pack holds.
  std::vector<uint8_t> cut = PackBuilder().Pes(0xE0, {1, 2, 3}, 0).Raw(0xE0, {0x81, 0, 0, 9}, 4000).Build();
  out.clear();
  EXPECT_FALSE(SplitPack(cut.data(), cut.size(), out));
  ASSERT_EQ(out.size(), 1u);  // the first packet still counts
  EXPECT_EQ(out[0].size, 3u);

  // A header length past the packet's end, and a block too short to be a pack.
  std::vector<uint8_t> header = PackBuilder().Raw(0xE0, {0x81, 0x80, 0xF0, 1}).Build();
  out.clear();
  EXPECT_TRUE(SplitPack(header.data(), header.size(), out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(SplitPack(header.data(), 10, out));
}

}  // namespace
}  // namespace tarnplayer
