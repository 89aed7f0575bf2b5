#include "ui/batch_size.h"

#include <cmath>

#include "platform/number_text.h"
#include "profiles/profile_catalogue.h"

namespace tarn {

double EstimatedRowMB(const RipJob& job, const AVOutputProfile& profile) {
  double rate = 0;
  if (profile.listIndex == 307 || profile.listIndex == 308) {
    rate = 172;
  } else if (profile.videoBitrate.valueListCount >= 0 && profile.audioBitrate.valueListCount >= 0) {
    if (profile.videoBitrate.valueListCount > 0) rate += std::trunc(platform::ParseDouble(profile.videoBitrate.value));
    if (profile.audioBitrate.valueListCount > 0) rate += std::trunc(platform::ParseDouble(profile.audioBitrate.value));
  }
  return (job.trimmedEnd - job.trimmedStart) * rate / 1024 / 8;
}

bool DoublesBatchEstimate(const AVOutputProfile& profile) {
  const std::string& f = profile.format;
  if (f == "au" || f == "amr" || f == "m4a" || f == "wav") return true;
  return (f == "3ggp" || f == "3ggp2") && profile.audioCodec.value == "amr_nb";
}

double BatchTotalMB(const SourceRows& rows, const AVOutputProfile& profile) {
  double total = 0.0;
  for (int i = 0; i < rows.Count(); ++i)
    if (rows.Row(i)->job->checked) total += rows.Row(i)->job->estimatedMB;
  return DoublesBatchEstimate(profile) ? total * 2 : total;
}

}  // namespace tarn
