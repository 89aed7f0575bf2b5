#pragma once
// The estimated size of a batch: the checked rows' estimates, doubled for
// the formats whose encode goes through a temporary file first.
#include "dvd/source_rows.h"

namespace tarn {

struct AVOutputProfile;

// A row's estimate for the profile: its (trimmed) length times the
// profile's video plus audio bit rate in kbit/s (172 for the wave and au
// profiles 307 and 308), in megabytes.
double EstimatedRowMB(const RipJob& job, const AVOutputProfile& profile);

// Doubled when the profile's format is "au", "amr", "m4a" or "wav", or
// "3ggp"/"3ggp2" with the audio codec "amr_nb".
bool DoublesBatchEstimate(const AVOutputProfile& profile);
double BatchTotalMB(const SourceRows& rows, const AVOutputProfile& profile);

}  // namespace tarn
