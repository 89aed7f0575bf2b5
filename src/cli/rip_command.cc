// "rip": converts titles of a disc with the title ripper's batch, the same
// code the window runs, with a console view.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "app/settings.h"
#include "cli/cli_context.h"
#include "cli/json_writer.h"
#include "cli/rip_choices.h"
#include "cli/rip_console_view.h"
#include "cli/rip_interrupt.h"
#include "cli/rip_main.h"
#include "cli/rip_options.h"
#include "convert/rip_job.h"
#include "dvd/dvd_reader_library.h"
#include "dvd/title_catalogue.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"
#include "ui/ripper_commands.h"
#include "ui/ripper_conversion.h"
#include "ui/ripper_core_playback.h"
#include "ui/title_ripper_batch.h"

namespace tarn::cli {
namespace {

// The disc's rows as the title list builds them, plus the rows of titles
// asked for by number that the list leaves out (shorter than a minute, or
// not readable), in title order. False when the disc does not open.
bool LoadRows(const RipOptions& o, CatalogueWindow window, const DvdReaderLibrary& library, SourceRows& rows) {
  SourceRows loaded;
  window.rows = &loaded;
  {
    CatalogueLoader loader(window, library);
    loader.Start(o.disc);
    loader.WaitIdle();
    if (!loader.LastOpened()) return false;
  }
  for (int title : o.titles) {
    bool listed = false;
    for (int i = 0; i < loaded.Count(); ++i) listed = listed || loaded.Row(i)->job->titleIndex + 1 == title;
    if (!listed && !LoadTitleRow(*window.sourceFolder, title, window, library)) return false;
  }
  std::vector<int> order(static_cast<size_t>(loaded.Count()));
  for (int i = 0; i < loaded.Count(); ++i) order[static_cast<size_t>(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return loaded.Row(a)->job->titleIndex < loaded.Row(b)->job->titleIndex;
  });
  for (int from : order) {
    SourceRow& src = *loaded.Row(from);
    const int to = rows.Insert(std::move(src.job), src.firstColumn);
    SourceRow& dst = *rows.Row(to);
    dst.subItems = src.subItems;
    dst.chapters = src.chapters;
    dst.aspectCode = src.aspectCode;
  }
  return true;
}

// A job that fails before the batch runs, printed as the batch prints one
// unless the results go out as JSON.
JobOutcome FailedBeforeStart(const RipJob& job, std::string reason, bool print) {
  JobOutcome o;
  o.title = job.titleIndex + 1;
  o.output = job.destination;
  o.reason = std::move(reason);
  if (print) std::printf("Failed %d %s\n", o.title, o.reason.c_str());
  return o;
}

void PrintJson(const std::string& disc, const std::vector<JobOutcome>& outcomes) {
  JsonWriter w;
  w.BeginObject().Field("disc", disc).Key("results").BeginArray();
  for (const JobOutcome& o : outcomes) {
    w.BeginObject()
        .Field("title", static_cast<int64_t>(o.title))
        .Field("status", o.completed ? "Completed" : "Failed")
        .Field("output", o.output)
        .Field("bytes", o.bytes < 0 ? int64_t{0} : o.bytes);
    if (!o.completed) w.Field("reason", o.reason);
    w.Key("sideFiles").BeginArray();
    for (const std::string& f : o.sideFiles) w.String(f);
    w.EndArray().EndObject();
  }
  w.EndArray().EndObject();
  std::printf("%s\n", w.Text().c_str());
}

}  // namespace

int RunRip(CliContext& ctx) {
  RipOptions options;
  if (const std::string problem = ParseRipOptions(ctx.args, options); !problem.empty()) return UsageError(problem);
  AppSettings& settings = *ctx.settings;
  ProfileCatalogue& catalogue = *ctx.catalogue;
  if (const std::string problem = ApplyProfileOptions(options, catalogue); !problem.empty())
    return UsageError(problem);
  ApplySettingsOptions(options, settings);
  // The window's shutdown setting does not reach a command line run.
  settings.shutdownComputer = 0;
  settings.disableScreenSaver = 0;

  DvdReaderLibrary library;
  if (!library.Load(ctx.programFolder)) {
    std::fprintf(stderr, "tarn-orvane-cli: cannot load the DVD library: %s\n", library.Error().c_str());
    return kExitFailure;
  }
  platform::MessageQueue loaderWindow([](const platform::Message&) -> intptr_t { return 0; });
  SourceRows rows;
  std::string sourceFolder;
  const CatalogueWindow window{&loaderWindow, nullptr, &sourceFolder, &settings, &catalogue};
  if (!LoadRows(options, window, library, rows)) {
    std::fprintf(stderr, "tarn-orvane-cli: %s is not a valid DVD source\n", options.disc.c_str());
    return kExitUsage;
  }
  if (const std::string problem = ApplyJobOptions(options, rows, settings, *catalogue.CurrentProfile());
      !problem.empty())
    return UsageError(problem);

  // A title the disc does not have fails at once; the others go on.
  std::vector<JobOutcome> missing;
  for (int i = 0; i < rows.Count(); ++i) {
    const SourceRow& row = *rows.Row(i);
    if (!row.job->checked || row.chapters > 0) continue;
    missing.push_back(FailedBeforeStart(*row.job, "the disc has no title " + std::to_string(row.job->titleIndex + 1),
                                        !ctx.json));
    rows.SetChecked(i, false);
  }

  // Without a folder to write to every job would fail after its seek and
  // encode; say so at once.
  if (!platform::MakeFolders(settings.outputFolder) || ::access(settings.outputFolder.c_str(), W_OK) != 0) {
    std::vector<JobOutcome> failed = missing;
    for (int i = 0; i < rows.Count(); ++i) {
      const RipJob& job = *rows.Row(i)->job;
      if (job.checked)
        failed.push_back(FailedBeforeStart(job, "cannot write to the output folder " + settings.outputFolder, !ctx.json));
    }
    if (ctx.json) PrintJson(sourceFolder, failed);
    return kExitFailure;
  }

  ConsoleRipperView view(options.yes, !ctx.json);
  CoreRipperPlayback playback(view);
  ConversionRipperDriver driver(view);
  CTitleRipperBatch batch(rows, settings, catalogue, view, playback, driver);
  playback.Bind(&batch);
  driver.Bind(&batch);
  batch.SetSourceFolder(sourceFolder);

  int checked = 0;
  for (int i = 0; i < rows.Count(); ++i) checked += rows.Row(i)->job->checked ? 1 : 0;
  {
    InterruptWatcher interrupt(batch.Queue(), [&] {
      view.SetUserStopped();
      batch.UserStop();
    });
    if (checked == 0) {  // only titles the disc does not have
      if (ctx.json) PrintJson(sourceFolder, missing);
      return kExitFailure;
    }
    batch.Queue().Send(kCommandMessage, kCmdStartNow, 0);
    if (!Conversion().batch) {
      std::fprintf(stderr, "tarn-orvane-cli: nothing was converted\n");
      if (ctx.json) PrintJson(sourceFolder, missing);
      return kExitFailure;
    }
    while (Conversion().batch) platform::PumpingSleep(20);
    driver.WaitForThread();
  }

  std::vector<JobOutcome> outcomes = missing;
  outcomes.insert(outcomes.end(), view.Outcomes().begin(), view.Outcomes().end());
  if (ctx.json) PrintJson(sourceFolder, outcomes);
  const bool allCompleted =
      missing.empty() && static_cast<int>(view.Outcomes().size()) == checked &&
      std::all_of(outcomes.begin(), outcomes.end(), [](const JobOutcome& o) { return o.completed; });
  return allCompleted ? kExitOk : kExitFailure;
}

}  // namespace tarn::cli
