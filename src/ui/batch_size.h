#pragma once
// The estimated size of a batch: the checked rows' estimates, doubled for
// the formats whose encode goes through a temporary file first.
#include "dvd/source_rows.h"

namespace tarn {

struct AVOutputProfile;

// Doubled when the profile's format is "au", "amr", "m4a" or "wav", or
// "3ggp"/"3ggp2" with the audio codec "amr_nb".
bool DoublesBatchEstimate(const AVOutputProfile& profile);
double BatchTotalMB(const SourceRows& rows, const AVOutputProfile& profile);

}  // namespace tarn
