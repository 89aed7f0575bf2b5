#include "cli/rip_choices.h"

#include <algorithm>
#include <filesystem>

#include "app/settings.h"
#include "convert/output_naming.h"
#include "convert/rip_job.h"
#include "convert/timecode.h"
#include "dvd/source_rows.h"
#include "profiles/profile_catalogue.h"
#include "ui/batch_size.h"

namespace tarn::cli {
namespace {

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "" : ", ") + t;
  return all;
}

std::string StreamList(const std::vector<unsigned>& numbers, const std::vector<std::string>& names) {
  std::vector<std::string> items;
  for (size_t i = 0; i < numbers.size() && i < names.size(); ++i)
    items.push_back(std::to_string(numbers[i]) + " " + names[i]);
  return items.empty() ? "none" : Joined(items);
}

int PositionOf(const std::vector<unsigned>& numbers, int number) {
  const auto it = std::find(numbers.begin(), numbers.end(), static_cast<unsigned>(number));
  return it == numbers.end() ? -1 : static_cast<int>(it - numbers.begin());
}

}  // namespace

std::string ApplyProfileOptions(const RipOptions& o, ProfileCatalogue& catalogue) {
  if (o.profileId) {
    const bool known = std::any_of(catalogue.profiles.begin(), catalogue.profiles.end(),
                                   [&](const auto& p) { return p->listIndex == *o.profileId; });
    if (!known) return "no profile " + std::to_string(*o.profileId) + " (see the profiles command)";
    catalogue.SelectProfileById(*o.profileId);
  }
  AVOutputProfile* p = catalogue.CurrentProfile();
  if (!p) return "no output profile is selected; choose one with --profile (see the profiles command)";

  if (o.quick) {
    if (static_cast<size_t>(*o.quick) >= p->quickSettings.size()) {
      std::vector<std::string> names;
      for (size_t i = 0; i < p->quickSettings.size(); ++i)
        names.push_back(std::to_string(i) + " " + p->quickSettings[i]->name);
      return "--quick must be one of: " + (names.empty() ? std::string("(this profile has none)") : Joined(names));
    }
    catalogue.SetCurrentQuickSetting(*o.quick);
    catalogue.SetVideoBitratePosition(p->currentQuickSetting.vb);
    catalogue.SetAudioBitratePosition(p->currentQuickSetting.ab);
  }
  for (size_t k = 0; k < o.values.size(); ++k) {
    if (!o.values[k]) continue;
    ProfileValueItem& item = p->*kProfileValueItems[k].member;
    std::vector<std::string> allowed;
    int position = -1;
    for (size_t i = 0; i < item.valueList.size(); ++i) {
      allowed.push_back(item.valueList[i]->value);
      if (item.valueList[i]->value == *o.values[k]) position = static_cast<int>(i);
    }
    if (position < 0)
      return std::string(kValueOptionNames[k]) + " must be one of: " +
             (allowed.empty() ? std::string("(no values in this profile)") : Joined(allowed));
    item.Choose(position);
  }
  if (o.volume) p->volume = static_cast<float>(*o.volume);
  return "";
}

void ApplySettingsOptions(const RipOptions& o, AppSettings& s) {
  if (o.outputFolder) {
    std::error_code ec;
    std::string folder = std::filesystem::absolute(*o.outputFolder, ec).lexically_normal().string();
    if (ec) folder = *o.outputFolder;
    if (folder.empty() || folder.back() != '/') folder += '/';
    s.outputFolder = folder;
  }
  if (o.aspect) s.videoAspectOption = *o.aspect;
  if (o.threads) s.encoderThreads = *o.threads;
  if (o.author) s.author = *o.author;
  if (o.album) s.album = *o.album;
  if (o.genre) s.genre = *o.genre;
  if (o.year) s.year = *o.year;
  if (o.comment) s.comment = *o.comment;
  if (o.track) s.track = *o.track;
}

std::string ApplyJobOptions(const RipOptions& o, SourceRows& rows, const AppSettings& settings,
                            const AVOutputProfile& profile) {
  if (!o.titles.empty()) {
    for (int i = 0; i < rows.Count(); ++i) {
      const int number = rows.Row(i)->job->titleIndex + 1;
      rows.SetChecked(i, std::find(o.titles.begin(), o.titles.end(), number) != o.titles.end());
    }
  }
  int checked = 0;
  for (int i = 0; i < rows.Count(); ++i) {
    RipJob& job = *rows.Row(i)->job;
    if (!job.checked) continue;
    ++checked;
    DvdTitleEntry& e = *job.title;
    const std::string title = "title " + std::to_string(job.titleIndex + 1);
    if (o.audio) {
      const int at = PositionOf(e.audioStreamNumbers, *o.audio);
      if (at < 0)
        return title + " has no audio stream " + std::to_string(*o.audio) + " (it has: " +
               StreamList(e.audioStreamNumbers, e.audioNames) + ")";
      e.selectedAudio = at;
    }
    if (o.subtitle) {
      const int at = *o.subtitle < 0 ? -1 : PositionOf(e.subtitleStreamNumbers, *o.subtitle);
      if (*o.subtitle >= 0 && at < 0)
        return title + " has no subtitle stream " + std::to_string(*o.subtitle) + " (it has: " +
               StreamList(e.subtitleStreamNumbers, e.subtitleNames) + ")";
      e.selectedSubtitle = at;
    }
    if (o.angle) {
      if (static_cast<size_t>(*o.angle) > e.angleNumbers.size())
        return title + " has no angle " + std::to_string(*o.angle) + " (it has " +
               std::to_string(e.angleNumbers.size()) + ")";
      e.selectedAngle = *o.angle;
    }
    if (o.start || o.end) {
      const double length = job.fullEnd;
      const double start = o.start.value_or(job.fullStart);
      double end = o.end.value_or(length);
      if (length > 0 && start >= length)
        return "--start lies beyond the end of " + title + " (" + FormatClock(length) + ")";
      if (length > 0) end = std::min(end, length);
      job.trimmedStart = start;
      job.trimmedEnd = end;
      job.trimmed = IsTrimmed(job);
      rows.SetSubItem(i, kColumnRange - 1, FormatClockRange(job.trimmedStart, job.trimmedEnd));
    }
    if (o.crop) {
      const auto& c = *o.crop;
      job.cropLeft = c[0];
      job.cropTop = c[1];
      job.cropRight = c[0] + c[2];
      job.cropBottom = c[1] + c[3];
      job.cropOn = IsCropped(job);
    }
    if (o.name) e.movieTitle = *o.name;
    NameRowOutputs(job, settings.outputFolder, profile.ext);
    job.estimatedMB = EstimatedRowMB(job, profile);
    rows.SetSubItem(i, kColumnDestination - 1, FileNamePart(job.destination));
  }
  if (checked == 0)
    return "no title to convert: the disc has no title of a minute or more; choose one with --title N";
  return "";
}

}  // namespace tarn::cli
