// The output file: the muxer of the plan with its video and audio encoders.
// A writer that is not finished removes the file it created.
#ifndef TARN_COMPONENTS_RIDIRUD_MEDIA_WRITER_H
#define TARN_COMPONENTS_RIDIRUD_MEDIA_WRITER_H

#include <functional>
#include <string>

#include "output_plan.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}
struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVPacket;

namespace ridirud {

class MediaWriter {
 public:
  MediaWriter() = default;
  ~MediaWriter();
  MediaWriter(const MediaWriter&) = delete;
  MediaWriter& operator=(const MediaWriter&) = delete;

  // Opens the encoders, creates the file and writes its header.
  bool Open(const OutputPlan& plan, std::string* error);

  // Encodes one output picture as the next frame (its pts is set here).
  bool WriteVideo(AVFrame* frame, std::string* error);
  // Encodes one audio frame (pts in samples from 0).
  bool WriteAudio(AVFrame* frame, std::string* error);
  // Flushes both encoders and writes the trailer; the file is complete.
  bool Finish(std::string* error);
  // Closes and removes the file.
  void Discard();

  AVSampleFormat audio_format() const;
  int audio_frame_size() const;
  int64_t video_frames() const { return video_frames_; }

 private:
  bool OpenVideo(const OutputPlan& plan, std::string* error);
  bool OpenAudio(const OutputPlan& plan, std::string* error);
  bool Drain(AVCodecContext* codec, AVStream* stream, std::string* error);
  void Close();

  AVFormatContext* format_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* audio_ = nullptr;
  AVStream* video_stream_ = nullptr;
  AVStream* audio_stream_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::string path_;
  bool file_created_ = false;
  bool finished_ = false;
  int64_t video_frames_ = 0;
};

// The text of an FFmpeg error code.
std::string FfmpegError(int code);

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_MEDIA_WRITER_H
