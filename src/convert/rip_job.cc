#include "convert/rip_job.h"

#include <cmath>

namespace tarn {

int32_t IsTrimmed(const RipJob& job) {
  return (std::fabs(job.trimmedStart - job.fullStart) > 0.1 || std::fabs(job.trimmedEnd - job.fullEnd) > 0.1) ? 1 : 0;
}

int32_t IsCropped(const RipJob& job) {
  return (job.cropLeft || job.cropTop || job.cropRight || job.cropBottom) ? 1 : 0;
}

ConversionState& Conversion() {
  static ConversionState state;
  return state;
}

RipProgress& Progress() {
  static RipProgress progress;
  return progress;
}

}  // namespace tarn
