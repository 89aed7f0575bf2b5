#include "ui/batch_size.h"

#include "profiles/profile_catalogue.h"

namespace tarn {

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
