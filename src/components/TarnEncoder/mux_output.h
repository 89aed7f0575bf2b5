#pragma once
// One output file written by an FFmpeg muxer chosen by name.
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace tarn::encoder {

class MuxOutput {
 public:
  MuxOutput() = default;
  ~MuxOutput();
  MuxOutput(const MuxOutput&) = delete;
  MuxOutput& operator=(const MuxOutput&) = delete;

  // Prepares `muxer` ("3gp", "swf", "ipod", ...) to write to `path`.
  bool Open(const std::string& path, const char* muxer);
  AVStream* AddStream();
  // True when the muxer wants codec headers out of band.
  bool WantsGlobalHeader() const;
  bool Begin();                // opens the file and writes the header
  // Writes a packet whose times are in `timeBase` to output stream `index`.
  bool Write(AVPacket* packet, AVRational timeBase, int index);
  bool End();                  // writes the trailer and closes the file
  AVFormatContext* context() const { return ctx_; }

 private:
  AVFormatContext* ctx_ = nullptr;
  bool begun_ = false;
};

}  // namespace tarn::encoder
