#pragma once
// libTarnEncoder.so: the post-processing library. It turns the encoder's
// temporary files into the final outputs (3GP/3G2 with AMR-NB audio, AU, AMR,
// WAV and M4A audio, SWF) and grabs the JPEG thumbnail of the game console
// formats.
//
// All paths and value texts are UTF-8. Bit rates are kilobits per second,
// with or without a trailing "k" ("12.2", "128k"). Every call returns 0 on
// success and one of the TARNENC_ERROR_* codes otherwise; a call that fails
// or is cancelled never leaves a half-written output file behind (the
// output is written beside the destination under a temporary name and
// renamed over it only when complete).
//
// The progress callback is called on the calling thread with the percentage
// of the input handled so far (0 to 100). When it returns non-zero the call
// stops promptly and returns TARNENC_ERROR_CANCELLED. It may be null.
//
// The program loads the library at run time and finds the entry points by
// name; the *Fn typedefs below are their types.

#ifdef __cplusplus
extern "C" {
#endif

#define TARNENCODER_API __attribute__((visibility("default")))

enum {
  TARNENC_OK = 0,
  TARNENC_ERROR_ARGUMENT = 1,   // a missing path or a value the call cannot use
  TARNENC_ERROR_INPUT = 2,      // the input cannot be opened or holds no usable stream
  TARNENC_ERROR_OUTPUT = 3,     // the output cannot be created or written
  TARNENC_ERROR_CODEC = 4,      // decoding or encoding failed
  TARNENC_ERROR_CANCELLED = 5,  // the progress callback asked to stop
};

typedef int (*TarnEncoderProgressFn)(float percentage, void* window);

// Copies the video stream of `input` unchanged and re-encodes its audio to
// AMR-NB (8000 Hz mono, the AMR-NB mode nearest to `audioBitrate`) into a 3GP
// file (`profileExt` "3gp") or a 3G2 file ("3g2"). `videoCodec` and
// `videoBitrate` describe the copied video and are not used to re-encode it.
// `audioCodec` must be "amr_nb".
TARNENCODER_API int Recreate3gp(const char* input, const char* output, const char* profileExt,
                                const char* videoCodec, const char* videoBitrate, const char* audioCodec,
                                const char* audioBitrate, TarnEncoderProgressFn progress, void* window);

// Copies the FLV1 video and MP3 audio of the encoder's SWF file into a new
// SWF file. The bit rates are those of the streams, which are not re-encoded.
TARNENCODER_API int RemuxSWFFile(const char* input, const char* output, const char* videoBitrate,
                                 const char* audioBitrate, TarnEncoderProgressFn progress, void* window);

// Converts the audio of `input` for the profile format "au" (PCM 16-bit
// big-endian), "amr" (AMR-NB, always 8000 Hz mono), "wav" (PCM 16-bit
// little-endian) or "m4a" (AAC in an MP4 file) at `sampleRate` Hz with
// `channels` ("1" or "2"; only the first character counts).
TARNENCODER_API int ConvertAudioFile(const char* input, const char* output, const char* profileFormat,
                                     const char* audioCodec, const char* audioBitrate, const char* sampleRate,
                                     const char* channels, TarnEncoderProgressFn progress, void* window);

// Writes a 160x120 JPEG picture of `video` (the picture a few seconds in, or
// the first one of a shorter video), its aspect kept with black bars.
TARNENCODER_API int CaptureTHM(const char* video, const char* thumbnail);

typedef int (*Recreate3gpFn)(const char*, const char*, const char*, const char*, const char*, const char*,
                             const char*, TarnEncoderProgressFn, void*);
typedef int (*RemuxSWFFileFn)(const char*, const char*, const char*, const char*, TarnEncoderProgressFn, void*);
typedef int (*ConvertAudioFileFn)(const char*, const char*, const char*, const char*, const char*, const char*,
                                  const char*, TarnEncoderProgressFn, void*);
typedef int (*CaptureTHMFn)(const char*, const char*);

#ifdef __cplusplus
}
#endif
