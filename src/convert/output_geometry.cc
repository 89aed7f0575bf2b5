#include "convert/output_geometry.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace tarn {
namespace {

struct Size {
  int32_t w = 0, h = 0;
};

// Truncates toward zero; values that are not finite (a zero source or frame
// side) become 0 instead of undefined behaviour.
int32_t Trunc(double v) {
  if (!std::isfinite(v)) return 0;
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int32_t Up4(int32_t v) { return v <= 0 ? v : (v + 3) / 4 * 4; }
int32_t Down4(int32_t v) { return v <= 0 ? v : v / 4 * 4; }

bool IsFourThree(double a) { return std::fabs(1.33333 - a) < 0.1; }
bool IsSixteenNine(double a) { return std::fabs(1.77778 - a) < 0.1; }

std::string SizeText(Size s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%dx%d", s.w, s.h);
  return buf;
}

// "<w>x<h>" with two positive numbers; false for "Original" or anything else.
bool ParseSize(const std::string& text, Size& out) {
  int w = 0, h = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w <= 0 || h <= 0) return false;
  out = {w, h};
  return true;
}

// The frame for the source size when the profile keeps it: the standard 4:3
// or 16:9 frame, else the source picture itself. (A display aspect that is
// neither would otherwise give a 0 x 0 frame, which no encoder accepts.)
Size OriginalFrame(double a, Size source) {
  if (IsFourThree(a)) return {640, 480};
  if (IsSixteenNine(a)) return {864, 486};
  return source;
}

// The cropped picture widened (or heightened) to square pixels of the
// display aspect, both sides rounded up to a multiple of 4.
Size CroppedFrame(double a, double r, const CropRectangle& crop) {
  const int32_t cw = crop.right - crop.left;
  const int32_t ch = crop.bottom - crop.top;
  Size s;
  if (r > a) {
    s.w = cw;
    s.h = Trunc(((r - a) / r + 1.0) * ch);
  } else {
    s.w = Trunc(cw * a / r);
    s.h = ch;
  }
  return {Up4(s.w), Up4(s.h)};
}

std::string CropText(const CropRectangle& c) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d:%d:%d:%d", c.right - c.left, c.bottom - c.top, c.left, c.top);
  return buf;
}

OutputGeometryResult Result(Size frame, Size picture, bool withCrop, const CropRectangle& crop) {
  OutputGeometryResult r;
  r.frameSize = SizeText(frame);
  r.scaledSize = SizeText(picture);
  r.crop = withCrop ? CropText(crop) : std::string();
  r.frameWidth = frame.w;
  r.frameHeight = frame.h;
  return r;
}

OutputGeometryResult ZoomToFullScreen(const GeometryInputs& in, double a, double r, Size source) {
  Size given;
  if (ParseSize(in.profileSize, given)) return Result(given, given, in.cropOn, in.crop);
  if (!in.cropOn) {
    const Size s = OriginalFrame(a, source);
    return Result(s, s, false, in.crop);
  }
  const Size s = CroppedFrame(a, r, in.crop);
  return Result(s, s, true, in.crop);
}

OutputGeometryResult KeepOriginalAspect(const GeometryInputs& in, double a, double r, Size source) {
  const bool keepAspect = in.profileAspect == "Keep original aspect rate";
  Size given;
  const bool sized = ParseSize(in.profileSize, given);

  if (!sized && keepAspect && !in.cropOn) {
    Size s = OriginalFrame(a, source);
    s = {Down4(s.w), Down4(s.h)};
    return Result(s, s, false, in.crop);
  }

  const Size frame = sized ? given : in.cropOn ? CroppedFrame(a, r, in.crop) : OriginalFrame(a, source);

  Size picture;
  if (in.cropOn) {
    picture = CroppedFrame(a, r, in.crop);
  } else {
    picture = source;
    if (a > 0.1 && a < 10.0 && std::fabs(r - a) > 0.01) {
      if (a < r) picture.h = Trunc(source.w / a);
      else picture.w = Trunc(a * source.h);
    }
  }

  double sw = 0, sh = 0;
  const double fw = frame.w, fh = frame.h, pw = picture.w, ph = picture.h;
  if (keepAspect) {
    if (fw / fh > pw / ph) {
      sw = fh * pw / ph;
      sh = fh;
    } else {
      sw = fw;
      sh = fw * ph / pw;
    }
  } else {
    const double t = in.profileAspect == "16:9" ? 16.0 / 9.0 : in.profileAspect == "4:3" ? 4.0 / 3.0 : a;
    const double m = pw / ph;
    if (t > m) {
      sw = m * fw / t;
      sh = fh;
    } else {
      sw = fw;
      sh = t * fh / m;
    }
  }
  return Result(frame, {Up4(Trunc(sw)), Up4(Trunc(sh))}, in.cropOn, in.crop);
}

}  // namespace

OutputGeometryResult OutputGeometry(const GeometryInputs& in) {
  const double a = in.displayAspect;
  const Size source{in.sourceWidth, in.sourceHeight};
  const double r = static_cast<double>(in.sourceWidth) / in.sourceHeight;

  if (in.videoAspectOption == 1) return ZoomToFullScreen(in, a, r, source);

  if (in.profileListIndex >= 300) {
    OutputGeometryResult res;
    res.frameSize = "Original";
    res.scaledSize = SizeText(source);
    res.frameWidth = source.w;
    res.frameHeight = source.h;
    return res;
  }
  return KeepOriginalAspect(in, a, r, source);
}

std::string ColonSize(std::string size) {
  for (char& c : size)
    if (c == 'x') c = ':';
  return size;
}

}  // namespace tarn
