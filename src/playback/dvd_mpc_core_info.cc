// The playback core's snapshot of the disc position and attributes, and the
// stream texts the windows show.
#include <cstring>

#include "app/log.h"
#include "playback/dvd_mpc_core.h"

namespace tarn {

using namespace tarnplayer;

namespace {

struct LanguageEntry {
  const char* code;
  const char* name;
};

constexpr LanguageEntry kLanguages[] = {
    {"ar", "Arabic"},   {"bg", "Bulgarian"}, {"ca", "Catalan"},  {"cs", "Czech"},      {"da", "Danish"},
    {"de", "German"},   {"el", "Greek"},     {"en", "English"},  {"es", "Spanish"},    {"et", "Estonian"},
    {"fi", "Finnish"},  {"fr", "French"},    {"he", "Hebrew"},   {"hi", "Hindi"},      {"hr", "Croatian"},
    {"hu", "Hungarian"}, {"is", "Icelandic"}, {"it", "Italian"}, {"ja", "Japanese"},   {"ko", "Korean"},
    {"lt", "Lithuanian"}, {"lv", "Latvian"}, {"nl", "Dutch"},    {"no", "Norwegian"},  {"pl", "Polish"},
    {"pt", "Portuguese"}, {"ro", "Romanian"}, {"ru", "Russian"}, {"sk", "Slovak"},     {"sl", "Slovenian"},
    {"sr", "Serbian"},  {"sv", "Swedish"},   {"th", "Thai"},     {"tr", "Turkish"},    {"uk", "Ukrainian"},
    {"zh", "Chinese"},
};

const char* CodingName(int32_t format) {
  switch (format) {
    case DVD_AudioFormat_AC3:
      return "AC3";
    case DVD_AudioFormat_MPEG1:
    case DVD_AudioFormat_MPEG1_DRC:
      return "MPEG1";
    case DVD_AudioFormat_MPEG2:
    case DVD_AudioFormat_MPEG2_DRC:
      return "MPEG2";
    case DVD_AudioFormat_LPCM:
      return "PCM";
    case DVD_AudioFormat_DTS:
      return "DTS";
    case DVD_AudioFormat_SDDS:
      return "SDDS";
    default:
      return "";
  }
}

// At most 100 characters, as the windows' text buffers hold.
std::string Limited(std::string text) {
  if (text.size() > 99) text.resize(99);
  return text;
}

}  // namespace

std::string LanguageName(const char code[3]) {
  char lower[3] = {0, 0, 0};
  for (int i = 0; i < 2 && code[i]; ++i) lower[i] = static_cast<char>(code[i] | 0x20);
  for (const LanguageEntry& e : kLanguages)
    if (std::strncmp(e.code, lower, 2) == 0) return e.name;
  return "";
}

void CDvdMpcCore::RefreshTitleInfo(int32_t title) {
  if (!m_pDvdInfo) return;
  const bool record = InRecordMode();
  if (title == -1) {
    DVD_PLAYBACK_LOCATION2 location{};
    const bool read = Succeeded(m_pDvdInfo->GetCurrentLocation(&location));
    if (read && location.TitleNum == m_ulCurTitle) {
      Log(kLogInfo, "We have already get this title %d info\n", static_cast<int>(m_ulCurTitle));
      if (record) {
        Log(kLogInfo, "We are in record mode so return \n");
        return;
      }
      Log(kLogInfo, "We are not in record mode so goto get detail info \n");
    }
    if (read) m_ulCurTitle = location.TitleNum;
  }
  if (record) {
    Log(kLogInfo, "We are in record mode, don't catch title detail info.\n");
  } else {
    if (m_titleCount == 0) {
      uint32_t volumes = 0, volume = 0, titles = 0;
      int32_t side = 0;
      if (Succeeded(m_pDvdInfo->GetDVDVolumeInfo(&volumes, &volume, &side, &titles))) m_titleCount = titles;
    }
    DVD_HMSF_TIMECODE total{};
    uint32_t flags = 0;
    if (Succeeded(m_pDvdInfo->GetTotalTitleTime(&total, &flags))) m_totalTitleTime = total;
    Log(kLogInfo, "RefreshTitleInfo, Get title length:%d:%d:%d:%d, curTitleId:%d\n", m_totalTitleTime.bHours,
        m_totalTitleTime.bMinutes, m_totalTitleTime.bSeconds, m_totalTitleTime.bFrames,
        static_cast<int>(m_ulCurTitle));
    uint32_t chapters = 0;
    if (Succeeded(m_pDvdInfo->GetNumberOfChapters(m_ulCurTitle, &chapters))) m_chapterCount = chapters;
    RefreshAudioStreams();
    RefreshSubpictureStreams();
    DVD_AudioAttributes audio{};
    if (Succeeded(m_pDvdInfo->GetAudioAttributes(DVD_STREAM_CURRENT, &audio))) {
      m_audioChannels = audio.bNumberOfChannels;
      m_audioFrequency = audio.dwFrequency;
      m_audioQuantization = audio.bQuantization;
    }
  }
  DVD_VideoAttributes video{};
  if (Succeeded(m_pDvdInfo->GetCurrentVideoAttributes(&video))) {
    m_sourceWidth = static_cast<int32_t>(video.ulSourceResolutionX);
    m_sourceHeight = static_cast<int32_t>(video.ulSourceResolutionY);
    m_aspectX = video.ulAspectX;
    m_aspectY = video.ulAspectY;
    m_frameRate = video.ulFrameRate;
  }
  PublishPosition();
}

void CDvdMpcCore::RefreshAudioStreams() {
  uint32_t available = 0, current = 0;
  if (m_pDvdInfo && Succeeded(m_pDvdInfo->GetCurrentAudio(&available, &current))) {
    m_audioStreams = available;
    m_currentAudio = current;
  }
}

void CDvdMpcCore::RefreshSubpictureStreams() {
  uint32_t available = 0, current = 0;
  int32_t disabled = 0;
  if (m_pDvdInfo && Succeeded(m_pDvdInfo->GetCurrentSubpicture(&available, &current, &disabled))) {
    m_subpictureStreams = available;
    m_currentSubpicture = current;
    m_subpictureDisabled = disabled;
  }
}

bool CDvdMpcCore::SelectAudioStream(uint32_t stream) {
  return m_pDvdControl && Succeeded(m_pDvdControl->SelectAudioStream(stream, DVD_CMD_FLAG_None, nullptr));
}

bool CDvdMpcCore::SelectSubpictureStream(uint32_t stream) {
  return m_pDvdControl && Succeeded(m_pDvdControl->SelectSubpictureStream(stream, DVD_CMD_FLAG_None, nullptr));
}

bool CDvdMpcCore::ShowSubtitle(bool on) {
  if (m_pDvdControl) m_pDvdControl->SetSubpictureState(on ? 1 : 0, DVD_CMD_FLAG_None, nullptr);
  RefreshSubpictureStreams();
  return true;
}

bool CDvdMpcCore::GetAudioLanguage(uint32_t stream, std::string* text) {
  DVD_AudioAttributes audio{};
  if (!m_pDvdInfo || !Succeeded(m_pDvdInfo->GetAudioAttributes(stream, &audio))) {
    *text = " ";
    return false;
  }
  *text = Limited(LanguageName(audio.language));
  return true;
}

bool CDvdMpcCore::GetSubtitleLanguage(uint32_t stream, std::string* text) {
  DVD_SubpictureAttributes sub{};
  if (!m_pDvdInfo || !Succeeded(m_pDvdInfo->GetSubpictureAttributes(stream, &sub))) {
    *text = " ";
    return false;
  }
  const std::string name = LanguageName(sub.language);
  if (name.empty()) {
    *text = " ";
    return false;
  }
  *text = Limited(name);
  return true;
}

std::string CDvdMpcCore::GetCurrentAudioText() {
  DVD_AudioAttributes audio{};
  if (!m_pDvdInfo || !Succeeded(m_pDvdInfo->GetAudioAttributes(DVD_STREAM_CURRENT, &audio))) return "";
  return Limited(LanguageName(audio.language) + ", " + CodingName(audio.AudioFormat));
}

std::string CDvdMpcCore::GetCurrentSubtitleText() {
  if (m_subpictureDisabled) return "No Select";
  DVD_SubpictureAttributes sub{};
  if (!m_pDvdInfo || !Succeeded(m_pDvdInfo->GetSubpictureAttributes(DVD_STREAM_CURRENT, &sub))) return "";
  return Limited(LanguageName(sub.language));
}

}  // namespace tarn
