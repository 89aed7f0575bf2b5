#pragma once
// libDVDReader.so: reads a DVD-Video disc's own tables (titles, chapters,
// lengths, aspect, angles, audio and subtitle streams) through libdvdread.
//
// The library holds one open disc and one current title. The stream, aspect
// and angle queries refer to the title last selected with
// DVD_DECODER_PLayMovie. Every call is safe without an open disc or a
// selected title: counts are 0, lengths 0.0, streams absent (-1) and texts
// empty. Texts are UTF-8 and stay valid until the next PLayMovie, Connect or
// Disconnect call.
//
// The program loads the library at run time and finds the entry points by
// name; the *Fn typedefs below are their types.

#ifdef __cplusplus
extern "C" {
#endif

#define DVDREADER_API __attribute__((visibility("default")))

// Closes the open disc; harmless when none is open.
DVDREADER_API void DVD_DECODER_DisconnectDVD(void);

// Opens a disc: a VIDEO_TS folder, the folder that holds it, an ISO image
// file or an optical device node (a trailing "/" is allowed). Closes any disc
// opened before. Returns non-zero when the disc's video manager was read,
// 0 when `path` is not a readable DVD-Video disc.
DVDREADER_API int DVD_DECODER_ConnectDVD(const char* path);

// The number of titles in the disc's title table (0 without a disc).
DVDREADER_API void DVD_DECODER_GetTitleNumber2(int* count);

// Selects title `title` (1-based) for the stream queries. Returns 1 when the
// title's tables are complete and consistent and its video exists; any other
// value means the title cannot be used (and no title is selected).
DVDREADER_API int DVD_DECODER_PLayMovie(int title);

// The length in seconds of the title with zero-based index `titleIndex`, as
// the disc states it (0.0 for a title that cannot be used).
DVDREADER_API void DVD_DECODER_GetTitleInfo(int titleIndex, double* seconds);

// The number of chapters (parts of title) of title `title` (1-based).
DVDREADER_API void DVD_DECODER_GetChapterNumber(int title, int* chapters);

// The current title's display aspect code: 0 = 4:3, 3 = 16:9 (1 and 2 are
// reserved codes); 0xFF without a selected title.
DVDREADER_API unsigned char DVD_DECODER_GetAspect(void);

// The current title's angle (always 1 at selection) and its angle count;
// both 0 without a selected title.
DVDREADER_API void DVD_DECODER_GetAngles(int* current, int* count);

// Write the current title's number of audio / subtitle streams as a 32-bit
// integer into the 4 bytes at `out` (when not null).
DVDREADER_API void DVD_DECODER_GetAudioTracks(void* out);
DVDREADER_API void DVD_DECODER_GetSubtitles(void* out);

// Audio stream `stream` (0..7) of the current title: the stream number when
// the title's program chain carries it, -1 when not.
DVDREADER_API char DVD_DECODER_GetAudioStreams(int stream);
// Its description, e.g. "English AC3 6ch" ("" when absent).
DVDREADER_API const char* DVD_DECODER_GetAudioStream(int stream);

// Subtitle stream `stream` (0..31) of the current title: the stream number
// when present, -1 when not; its description is the language, e.g. "English".
DVDREADER_API char DVD_DECODER_GetStreams(int stream);
DVDREADER_API const char* DVD_DECODER_GetStream(int stream);

#undef DVDREADER_API

typedef void (*DVD_DECODER_DisconnectDVDFn)(void);
typedef int (*DVD_DECODER_ConnectDVDFn)(const char* path);
typedef void (*DVD_DECODER_GetTitleNumber2Fn)(int* count);
typedef int (*DVD_DECODER_PLayMovieFn)(int title);
typedef void (*DVD_DECODER_GetTitleInfoFn)(int titleIndex, double* seconds);
typedef void (*DVD_DECODER_GetChapterNumberFn)(int title, int* chapters);
typedef unsigned char (*DVD_DECODER_GetAspectFn)(void);
typedef void (*DVD_DECODER_GetAnglesFn)(int* current, int* count);
typedef void (*DVD_DECODER_GetAudioTracksFn)(void* out);
typedef void (*DVD_DECODER_GetSubtitlesFn)(void* out);
typedef char (*DVD_DECODER_GetAudioStreamsFn)(int stream);
typedef const char* (*DVD_DECODER_GetAudioStreamFn)(int stream);
typedef char (*DVD_DECODER_GetStreamsFn)(int stream);
typedef const char* (*DVD_DECODER_GetStreamFn)(int stream);

#ifdef __cplusplus
}
#endif
