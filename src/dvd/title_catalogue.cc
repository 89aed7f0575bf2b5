#include "dvd/title_catalogue.h"

#include <cmath>
#include <cstdio>

#include "app/log.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/output_naming.h"
#include "convert/timecode.h"
#include "dvd/dvd_reader_library.h"
#include "dvd/movie_title.h"
#include "platform/message_queue.h"
#include "platform/number_text.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn {
namespace {

// What the build needs from the window, read once on the window's thread.
struct WindowValues {
  std::string outputFolder;
  std::string profileExt;
  int audioKbps = 0;
  int videoKbps = 0;
};

int KbpsOf(const std::string& text) { return static_cast<int>(std::trunc(platform::ParseDouble(text))); }

WindowValues ReadWindowValues(const CatalogueWindow& w) {
  WindowValues v;
  w.queue->SendCall([&] {
    v.outputFolder = w.settings->outputFolder;
    if (const AVOutputProfile* p = w.catalogue->CurrentProfile()) {
      v.profileExt = p->ext;
      v.audioKbps = KbpsOf(p->audioBitrate.value);
      v.videoKbps = KbpsOf(p->videoBitrate.value);
    }
  });
  return v;
}

// One title as read from the library, before it becomes a row.
struct TitleRead {
  int number = 0;
  int chapters = 0;
  unsigned aspect = 0;
  std::shared_ptr<DvdTitleEntry> entry;
};

TitleRead ReadTitle(const DvdReaderLibrary& lib, int n, double length, const std::string& folder) {
  TitleRead t;
  t.number = n;
  t.chapters = lib.GetChapterNumber(n);
  t.aspect = lib.GetAspect();
  auto e = std::make_shared<DvdTitleEntry>();
  e->titleIndex = n - 1;
  e->discFolder = folder;
  e->duration = length;
  e->aspectRatio = AspectRatioValue(t.aspect);

  int current = 1, count = 1;
  lib.GetAngles(&current, &count);
  for (int a = 1; a <= count && a <= 9; ++a) e->angleNumbers.push_back(static_cast<unsigned>(a));
  e->selectedAngle = current;

  lib.GetAudioTracks();
  lib.GetSubtitles();
  for (int i = 0; i < 8; ++i) {
    if (!lib.HasAudioStream(i)) continue;
    e->audioStreamNumbers.push_back(static_cast<unsigned>(i));
    e->audioNames.push_back(lib.AudioStreamName(i));
  }
  for (int i = 0; i < 32; ++i) {
    if (!lib.HasSubtitleStream(i)) continue;
    e->subtitleStreamNumbers.push_back(static_cast<unsigned>(i));
    e->subtitleNames.push_back(lib.SubtitleStreamName(i));
  }
  e->movieTitle = DiscMovieTitle(folder, n);
  t.entry = std::move(e);
  return t;
}

std::unique_ptr<RipJob> MakeJob(const TitleRead& t, const WindowValues& v) {
  auto job = std::make_unique<RipJob>();
  const double length = t.entry->duration;
  job->title = t.entry;
  job->chapterIndex = -1;
  job->fullStart = job->trimmedStart = 0.0;
  job->fullEnd = job->trimmedEnd = length;
  job->titleIndex = t.number - 1;
  job->trimmed = 0;
  job->status = "Ready";
  job->checked = 0;
  job->estimatedMB = (v.audioKbps + v.videoKbps) * length * 0.125 / 1024;
  NameRowOutputs(*job, v.outputFolder, v.profileExt);
  return job;
}

}  // namespace

const char* AspectLabel(unsigned code) {
  if (code == 0) return "4:3";
  if (code == 3) return "16:9";
  return "unknow aspect";
}

float AspectRatioValue(unsigned code) {
  if (code == 0) return 1.33333f;
  if (code == 3) return 1.77778f;
  return 1.0f;
}

namespace {

// Adds the title's row with its label and cells, on the window's thread;
// returns the row's index.
int InsertTitleRow(SourceRows& rows, std::unique_ptr<RipJob> job, const TitleRead& t, int n) {
  char label[96];
  std::snprintf(label, sizeof label, "Title%.2d(%dChapters) %s", n, t.chapters, AspectLabel(t.aspect));
  const RipJob& j = *job;
  const int row = rows.Insert(std::move(job), label);
  rows.Row(row)->chapters = t.chapters;
  rows.Row(row)->aspectCode = t.aspect;
  rows.SetSubItem(row, 0, FormatClock(j.fullEnd - j.fullStart));
  rows.SetSubItem(row, 1, FormatClockRange(j.trimmedStart, j.trimmedEnd));
  rows.SetSubItem(row, 2, FileNamePart(j.destination));
  rows.SetSubItem(row, 3, j.status);
  return row;
}

}  // namespace

bool LoadTitleCatalogue(const std::string& folder, const CatalogueWindow& w, const DvdReaderLibrary& lib) {
  w.queue->Send(UM_LOADING_OPEN, 0, 0);
  w.queue->SendCall([&] {
    w.rows->DeleteAll();
    *w.sourceFolder = folder;
  });
  int candidateRow = 0;
  int candidateChapters = 0;
  const WindowValues values = ReadWindowValues(w);

  lib.DisconnectDVD();
  const bool opened = lib.ConnectDVD(folder);
  if (!opened) {
    Log(kLogError, "Open DVD %s failed\n", folder.c_str());
  } else {
    const int count = lib.GetTitleNumber();
    for (int n = 1; n <= count; ++n) {
      if (!lib.PlayMovie(n)) continue;
      const double length = lib.GetTitleInfo(n - 1);
      if (!(length >= 60.0)) continue;
      TitleRead t = ReadTitle(lib, n, length, folder);
      std::unique_ptr<RipJob> job = MakeJob(t, values);
      w.queue->SendCall([&] {
        SourceRows& rows = *w.rows;
        const int row = InsertTitleRow(rows, std::move(job), t, n);
        if (t.chapters > candidateChapters || candidateChapters == 0) {
          rows.SetChecked(candidateRow, false);
          rows.Select(row);
          rows.SetChecked(row, true);
          candidateRow = row;
          candidateChapters = t.chapters;
        }
        rows.Refresh(row);
      });
    }
    lib.DisconnectDVD();
  }
  w.queue->SendCall([&] { w.rows->RedrawAll(); });
  w.queue->Send(UM_LOADING_CLOSE, 0, 0);
  return opened;
}

bool LoadTitleRow(const std::string& folder, int n, const CatalogueWindow& w, const DvdReaderLibrary& lib) {
  const WindowValues values = ReadWindowValues(w);
  lib.DisconnectDVD();
  if (!lib.ConnectDVD(folder)) {
    Log(kLogError, "Open DVD %s failed\n", folder.c_str());
    return false;
  }
  TitleRead t;
  if (n >= 1 && n <= lib.GetTitleNumber() && lib.PlayMovie(n)) {
    t = ReadTitle(lib, n, lib.GetTitleInfo(n - 1), folder);
  } else {
    t.number = n;
    t.entry = std::make_shared<DvdTitleEntry>();
    t.entry->titleIndex = n - 1;
    t.entry->discFolder = folder;
    t.entry->movieTitle = DiscMovieTitle(folder, n);
  }
  lib.DisconnectDVD();
  std::unique_ptr<RipJob> job = MakeJob(t, values);
  w.queue->SendCall([&] {
    SourceRows& rows = *w.rows;
    rows.Refresh(InsertTitleRow(rows, std::move(job), t, n));
  });
  return true;
}

CatalogueLoader::CatalogueLoader(CatalogueWindow window, const DvdReaderLibrary& library)
    : window_(window), library_(library) {}

CatalogueLoader::~CatalogueLoader() {
  WaitIdle();
  for (auto& t : workers_) t.join();
}

void CatalogueLoader::Start(const std::string& folder) {
  ++running_;
  uint64_t ticket;
  {
    std::lock_guard<std::mutex> lock(turnMutex_);
    ticket = nextTicket_++;
  }
  workers_.emplace_back([this, folder, ticket] {
    // Folders get their trailing "/"; a device node or an image file is
    // opened as it is.
    const std::string source = platform::IsFolder(folder) ? platform::WithTrailingSlash(folder) : folder;
    {
      std::unique_lock<std::mutex> lock(turnMutex_);
      turnChanged_.wait(lock, [&] { return serving_ == ticket; });
    }
    lastOpened_ = LoadTitleCatalogue(source, window_, library_);
    {
      std::lock_guard<std::mutex> lock(turnMutex_);
      ++serving_;
    }
    turnChanged_.notify_all();
    --running_;
  });
}

void CatalogueLoader::WaitIdle() const {
  while (Busy()) platform::PumpingSleep(10);
}

}  // namespace tarn
