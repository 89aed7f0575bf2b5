// "list": the title catalogue of a disc, built exactly as the title list
// window builds it, with the current profile.
#include <cstdio>

#include "app/user_messages.h"
#include "cli/cli_context.h"
#include "cli/json_writer.h"
#include "convert/timecode.h"
#include "dvd/dvd_reader_library.h"
#include "dvd/title_catalogue.h"
#include "platform/message_queue.h"

namespace tarn::cli {
namespace {

void WriteStreams(JsonWriter& w, const std::vector<unsigned>& numbers, const std::vector<std::string>& names) {
  w.BeginArray();
  for (size_t i = 0; i < numbers.size() && i < names.size(); ++i)
    w.BeginObject().Field("stream", static_cast<int64_t>(numbers[i])).Field("name", names[i]).EndObject();
  w.EndArray();
}

void PrintJson(const std::string& disc, const SourceRows& rows) {
  JsonWriter w;
  w.BeginObject().Field("disc", disc).Key("titles").BeginArray();
  for (int i = 0; i < rows.Count(); ++i) {
    const SourceRow& row = *rows.Row(i);
    const RipJob& job = *row.job;
    const DvdTitleEntry& e = *job.title;
    w.BeginObject()
        .Field("title", static_cast<int64_t>(job.titleIndex + 1))
        .Field("chapters", static_cast<int64_t>(row.chapters))
        .Field("seconds", e.duration)
        .Field("aspect", AspectLabel(row.aspectCode))
        .Field("label", row.firstColumn)
        .Field("movieTitle", e.movieTitle);
    w.Key("audio");
    WriteStreams(w, e.audioStreamNumbers, e.audioNames);
    w.Key("subtitles");
    WriteStreams(w, e.subtitleStreamNumbers, e.subtitleNames);
    w.Field("angles", static_cast<int64_t>(e.angleNumbers.size()))
        .Field("checked", job.checked != 0)
        .Field("destination", job.destination)
        .Field("estimatedMB", job.estimatedMB)
        .EndObject();
  }
  w.EndArray().EndObject();
  std::printf("%s\n", w.Text().c_str());
}

void PrintText(const std::string& disc, const SourceRows& rows) {
  std::printf("Disc: %s\n\n", disc.c_str());
  std::printf("   %-26s %-10s %-20s %-10s  %s\n", "Source", "Duration", "Start <-> End", "Size (MB)", "Destination");
  for (int i = 0; i < rows.Count(); ++i) {
    const SourceRow& row = *rows.Row(i);
    const RipJob& job = *row.job;
    std::printf("%s  %-26s %-10s %-20s %10.1f  %s\n", job.checked ? "[x]" : "[ ]", row.firstColumn.c_str(),
                row.subItems[0].c_str(), row.subItems[1].c_str(), job.estimatedMB, job.destination.c_str());
    const DvdTitleEntry& e = *job.title;
    for (size_t a = 0; a < e.audioNames.size(); ++a)
      std::printf("       audio %u: %s\n", e.audioStreamNumbers[a], e.audioNames[a].c_str());
    for (size_t s = 0; s < e.subtitleNames.size(); ++s)
      std::printf("       subtitle %u: %s\n", e.subtitleStreamNumbers[s], e.subtitleNames[s].c_str());
    if (e.angleNumbers.size() > 1) std::printf("       angles: %zu\n", e.angleNumbers.size());
  }
  if (rows.Count() == 0) std::printf("(no title of a minute or more)\n");
}

}  // namespace

int RunList(CliContext& ctx) {
  if (ctx.args.size() != 1) return UsageError("list needs one disc (a VIDEO_TS folder, an ISO image or a device)");
  const std::string disc = ctx.args[0];

  DvdReaderLibrary library;
  if (!library.Load(ctx.programFolder)) {
    std::fprintf(stderr, "tarn-orvane-cli: cannot load the DVD library: %s\n", library.Error().c_str());
    return kExitFailure;
  }

  // This thread plays the window: the catalogue worker sends every row
  // change here, and the loading messages need no dialog.
  platform::MessageQueue window([](const platform::Message&) -> intptr_t { return 0; });
  SourceRows rows;
  std::string sourceFolder;
  CatalogueWindow target{&window, &rows, &sourceFolder, ctx.settings, ctx.catalogue};
  CatalogueLoader loader(target, library);
  loader.Start(disc);
  loader.WaitIdle();
  if (!loader.LastOpened()) {
    std::fprintf(stderr, "tarn-orvane-cli: %s is not a valid DVD source\n", disc.c_str());
    return kExitUsage;
  }
  if (ctx.json) PrintJson(sourceFolder, rows);
  else PrintText(sourceFolder, rows);
  return kExitOk;
}

}  // namespace tarn::cli
