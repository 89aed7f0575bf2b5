// The answers of IDvdInfo2.
#include <dvdnav/dvdnav.h>

#include <cstdlib>
#include <cstring>

#include "engine.h"

namespace tarnplayer {
namespace {

DVD_HMSF_TIMECODE ToTimecode(int64_t ticks90k, int fps) {
  if (ticks90k < 0) ticks90k = 0;
  int64_t seconds = ticks90k / 90000;
  DVD_HMSF_TIMECODE code{};
  code.bHours = uint8_t(seconds / 3600 > 255 ? 255 : seconds / 3600);
  code.bMinutes = uint8_t(seconds / 60 % 60);
  code.bSeconds = uint8_t(seconds % 60);
  code.bFrames = uint8_t(ticks90k % 90000 * fps / 90000);
  return code;
}

// Frame-rate flags of the time code as the navigator reports them
// (1: 25 frames per second, 2: 30).
uint32_t RateFlags(int fps) { return fps == 30 ? 0x2 : 0x1; }

void CopyLanguage(uint16_t code, char out[3]) {
  out[0] = out[1] = out[2] = 0;
  char first = char(code >> 8), second = char(code & 0xFF);
  if (first >= 'a' && first <= 'z' && second >= 'a' && second <= 'z') {
    out[0] = first;
    out[1] = second;
  }
}

int32_t AudioFormatCode(int format) {
  switch (format) {
    case 0: return DVD_AudioFormat_AC3;
    case 2: return DVD_AudioFormat_MPEG1;
    case 3: return DVD_AudioFormat_MPEG2;
    case 4: return DVD_AudioFormat_LPCM;
    case 6: return DVD_AudioFormat_DTS;
    case 7: return DVD_AudioFormat_SDDS;
    default: return DVD_AudioFormat_Other;
  }
}

}  // namespace

HRESULT Engine::GetCurrentDomain(int32_t* domain) {
  if (!domain) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  *domain = DomainLocked();
  return S_OK;
}

HRESULT Engine::GetCurrentLocation(DVD_PLAYBACK_LOCATION2* location) {
  if (!location) return E_POINTER;
  std::lock_guard<std::mutex> lock(locationMutex_);
  if (location_.domain != DVD_DOMAIN_Title || location_.title <= 0) return VFW_E_DVD_INVALIDDOMAIN;
  location->TitleNum = uint32_t(location_.title);
  location->ChapterNum = uint32_t(location_.chapter);
  location->TimeCode = ToTimecode(locationTime90k_, location_.fps);
  location->TimeCodeFlags = RateFlags(location_.fps);
  return S_OK;
}

HRESULT Engine::GetTotalTitleTime(DVD_HMSF_TIMECODE* time, uint32_t* flags) {
  if (!time) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  if (DomainLocked() != DVD_DOMAIN_Title) return VFW_E_DVD_INVALIDDOMAIN;
  int32_t title = 0, part = 0;
  dvdnav_current_title_info(nav_, &title, &part);
  uint64_t* times = nullptr;
  uint64_t duration = 0;
  uint32_t chapters = dvdnav_describe_title_chapters(nav_, title, &times, &duration);
  free(times);
  if (chapters == 0) return E_FAIL;
  int fps = context_.fps;
  *time = ToTimecode(int64_t(duration), fps);
  if (flags) *flags = RateFlags(fps);
  return S_OK;
}

HRESULT Engine::GetNumberOfChapters(uint32_t title, uint32_t* chapters) {
  if (!chapters) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  int32_t parts = 0;
  if (dvdnav_get_number_of_parts(nav_, int32_t(title), &parts) != DVDNAV_STATUS_OK) return E_INVALIDARG;
  *chapters = uint32_t(parts);
  return S_OK;
}

HRESULT Engine::GetTitleCount(uint32_t* titles) {
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  int32_t count = 0;
  if (dvdnav_get_number_of_titles(nav_, &count) != DVDNAV_STATUS_OK) return E_FAIL;
  if (titles) *titles = uint32_t(count);
  return S_OK;
}

HRESULT Engine::GetCurrentAudio(uint32_t* available, uint32_t* current) {
  if (!available || !current) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  *available = uint32_t(AudioStreamCountLocked());
  *current = uint32_t(LogicalAudioLocked(ActiveAudioPhysicalLocked()));
  return S_OK;
}

HRESULT Engine::GetCurrentSubpicture(uint32_t* available, uint32_t* current, int32_t* disabled) {
  if (!available || !current || !disabled) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  bool hidden = false;
  int physical = ActiveSpuPhysicalLocked(&hidden);
  *available = uint32_t(SpuStreamCountLocked());
  *current = physical >= 0 ? uint32_t(LogicalSpuLocked(physical)) : 0;
  int32_t state = subpictureState_.load();
  *disabled = (state == 0 || (state < 0 && hidden)) ? 1 : 0;
  return S_OK;
}

HRESULT Engine::GetCurrentAngle(uint32_t* available, uint32_t* current) {
  if (!available || !current) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  int32_t angle = 1, angles = 1;
  if (dvdnav_get_angle_info(nav_, &angle, &angles) != DVDNAV_STATUS_OK) return VFW_E_DVD_INVALIDDOMAIN;
  *available = uint32_t(angles);
  *current = uint32_t(angle);
  return S_OK;
}

HRESULT Engine::GetCurrentButton(uint32_t* available, uint32_t* current) {
  if (!available || !current) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  *available = 0;
  *current = 0;
  pci_t* pci = navStarted_ ? dvdnav_get_current_nav_pci(nav_) : nullptr;
  if (!pci || !(pci->hli.hl_gi.hli_ss & 0x03)) return S_OK;
  *available = pci->hli.hl_gi.btn_ns & 0x3F;
  int32_t button = 0;
  if (*available && dvdnav_get_current_highlight(nav_, &button) == DVDNAV_STATUS_OK) {
    *current = uint32_t(button);
  }
  return S_OK;
}

HRESULT Engine::GetCurrentUops(uint32_t* uops) {
  if (!uops) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  *uops = UopsLocked();
  return S_OK;
}

HRESULT Engine::GetAudioAttributes(uint32_t stream, DVD_AudioAttributes* attributes) {
  if (!attributes) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  if (stream == DVD_STREAM_CURRENT) stream = uint32_t(LogicalAudioLocked(ActiveAudioPhysicalLocked()));
  if (stream > 7) return E_INVALIDARG;
  audio_attr_t attr{};
  if (dvdnav_get_audio_attr(nav_, uint8_t(stream), &attr) != DVDNAV_STATUS_OK) return E_FAIL;
  std::memset(attributes, 0, sizeof(*attributes));
  attributes->AudioFormat = AudioFormatCode(attr.audio_format);
  attributes->dwFrequency = attr.sample_frequency == 1 ? 96000 : 48000;
  attributes->bQuantization = attr.quantization == 1 ? 20 : attr.quantization == 2 ? 24 : 16;
  attributes->bNumberOfChannels = uint8_t(attr.channels + 1);
  CopyLanguage(attr.lang_code, attributes->language);
  return S_OK;
}

HRESULT Engine::GetSubpictureAttributes(uint32_t stream, DVD_SubpictureAttributes* attributes) {
  if (!attributes) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  if (stream == DVD_STREAM_CURRENT) {
    bool hidden = false;
    int physical = ActiveSpuPhysicalLocked(&hidden);
    stream = physical >= 0 ? uint32_t(LogicalSpuLocked(physical)) : 0;
  }
  if (stream > 31) return E_INVALIDARG;
  subp_attr_t attr{};
  if (dvdnav_get_spu_attr(nav_, uint8_t(stream), &attr) != DVDNAV_STATUS_OK) return E_FAIL;
  CopyLanguage(attr.lang_code, attributes->language);
  return S_OK;
}

HRESULT Engine::GetCurrentVideoAttributes(DVD_VideoAttributes* attributes) {
  if (!attributes) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  uint32_t width = 0, height = 0;
  if (dvdnav_get_video_resolution(nav_, &width, &height) != DVDNAV_STATUS_OK) return E_FAIL;
  uint8_t aspect = dvdnav_get_video_aspect(nav_);
  std::memset(attributes, 0, sizeof(*attributes));
  attributes->ulAspectX = aspect == 3 ? 16 : 4;
  attributes->ulAspectY = aspect == 3 ? 9 : 3;
  attributes->ulFrameRate = (height == 480 || height == 240) ? 60 : 50;  // NTSC or PAL
  attributes->ulSourceResolutionX = width;
  attributes->ulSourceResolutionY = height;
  {
    // The pictures say the true source size (the IFO may give a full-height
    // frame for half-height video).
    std::lock_guard<std::mutex> locationLock(locationMutex_);
    attributes->fIsInterlaced = lastInterlaced_ ? 1 : 0;
    if (lastWidth_ > 0) {
      attributes->ulSourceResolutionX = uint32_t(lastWidth_);
      attributes->ulSourceResolutionY = uint32_t(lastHeight_);
    }
  }
  return S_OK;
}

}  // namespace tarnplayer
