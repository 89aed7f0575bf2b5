// The playback core's handling of the graph's events.
#include <cstdio>

#include "app/log.h"
#include "playback/dvd_mpc_core.h"

namespace tarn {

using namespace tarnplayer;

namespace {

const char* DomainText(int32_t domain) {
  switch (domain) {
    case DVD_DOMAIN_FirstPlay:
      return "FIRST PLAY";
    case DVD_DOMAIN_VideoManagerMenu:
      return "TOP MENU";
    case DVD_DOMAIN_VideoTitleSetMenu:
      return "VIDEO TITLESET MENU";
    case DVD_DOMAIN_Stop:
      return "STOP";
    default:
      return "TITLE";
  }
}

const char* ErrorText(int32_t code) {
  switch (code) {
    case DVD_ERROR_Unexpected:
      return "An unexpected error (possibly incorrectly authored content)\nwas encountered.\nCan't playback this "
             "DVD-Video disc.";
    case DVD_ERROR_CopyProtectFail:
      return "Key exchange for DVD copy protection failed.\nCan't playback this DVD-Video disc.";
    case DVD_ERROR_InvalidDVD1_0Disc:
      return "This DVD-Video disc is incorrectly authored for v1.0  of the spec.\nCan't playback this disc.";
    case DVD_ERROR_InvalidDiscRegion:
      return "This DVD-Video disc cannot be played because it is not\nauthored to play in the current system "
             "region.";
    case DVD_ERROR_LowParentalLevel:
      return "Player parental level is set lower than the lowest parental\nlevel available in this DVD-Video "
             "content.\nCannot playback this DVD-Video disc.";
    case DVD_ERROR_MacrovisionFail:
      return "This DVD-Video content is protected by an analog copy protection\nthat the display cannot "
             "honour.\nCan't playback this DVD-Video disc.";
    case DVD_ERROR_IncompatibleSystemAndDecoderRegions:
      return "No DVD-Video disc can be played because the system region\ndoes not match the decoder region.";
    default:  // DVD_ERROR_IncompatibleDiscAndDecoderRegions
      return "This DVD-Video disc cannot be played because the disc is\nnot authored to be played in the "
             "decoder's region.";
  }
}

const char* WarningText(int32_t code) {
  switch (code) {
    case DVD_WARNING_Open:
      return "A file on the DVD disc could not be opened. Playback may not continue.";
    case DVD_WARNING_Seek:
      return "Could not move to a different part of a file on the DVD disc. Playback may not continue.";
    case DVD_WARNING_Read:
      return "Could not read part of a file on the DVD disc. Playback may not continue.";
    default:
      return nullptr;
  }
}

}  // namespace

intptr_t CDvdMpcCore::HandleGraphEvent() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  // A Stop or Close from inside a callback releases the event interface:
  // the loop then ends instead of reading through a released pointer.
  while (m_pIME) {
    int32_t code = 0;
    intptr_t p1 = 0, p2 = 0;
    if (!Succeeded(m_pIME->GetEvent(&code, &p1, &p2, 0))) break;
    HandleEvent(code, p1, p2);
    if (m_pIME) m_pIME->FreeEventParams(code, p1, p2);
  }
  PublishPosition();
  return 0;
}

int32_t CDvdMpcCore::ShowBox(const std::string& text, const std::string& caption, int32_t buttons) {
  if (!m_owner) return buttons == kButtonsYesNo ? kAnswerNo : kAnswerOk;
  return m_owner->MessageBox(text, caption, kIconInformation, buttons);
}

void CDvdMpcCore::HandleEvent(int32_t code, intptr_t p1, intptr_t p2) {
  switch (code) {
    case EC_STEP_COMPLETE:
      m_stepComplete = 1;
      break;
    case EC_DVD_DOMAIN_CHANGE: {
      m_currentDomain = static_cast<int32_t>(p1);
      m_domainName = DomainText(m_currentDomain);
      Log(kLogInfo, "EC_DVD_DOMAIN_CHANGE, lParam1:%d\n", static_cast<int>(p1));
      const bool record = InRecordMode();
      if (IsMenuDomain(m_currentDomain)) {
        m_inMenu = 1;
      } else if (p1 == DVD_DOMAIN_Title) {
        m_inMenu = 0;
        if (!record) {
          RefreshTitleInfo(-1);
          PublishPosition();
          m_callback->OnTitleChange(m_ulCurTitle);
        } else {
          Log(kLogInfo, "EC_DVD_DOMAIN_CHANGE, we are in record mode so don't run RefreshTitleInfo\n");
        }
      } else {
        m_inMenu = 0;
      }
      PublishPosition();
      if (!record) m_callback->OnDomainChange(m_currentDomain);
      else Log(kLogInfo, "EC_DVD_DOMAIN_CHANGE, we are in record mode so don't call domain callback\n");
      break;
    }
    case EC_DVD_TITLE_CHANGE:
      Log(kLogInfo, "Get EC_DVD_TITLE_CHANGE lparam:%d, m_ulCurTitle:%d\n", static_cast<int>(p1),
          static_cast<int>(m_ulCurTitle));
      if (static_cast<uint32_t>(p1) == m_ulCurTitle) {
        Log(kLogInfo, "We have already get this title %d info so break\n", static_cast<int>(p1));
      } else {
        m_ulCurTitle = static_cast<uint32_t>(p1);
        RefreshTitleInfo(static_cast<int32_t>(p1));
        PublishPosition();
        m_callback->OnTitleChange(m_ulCurTitle);
      }
      break;
    case EC_DVD_CHAPTER_START:
      m_currentChapter = static_cast<uint32_t>(p1);
      m_callback->OnChapterStart(static_cast<uint32_t>(p1));
      break;
    case EC_DVD_AUDIO_STREAM_CHANGE:
      m_currentAudio = static_cast<uint32_t>(p1);
      m_callback->OnAudioChange();
      break;
    case EC_DVD_SUBPICTURE_STREAM_CHANGE:
      m_currentSubpicture = static_cast<uint32_t>(p1);
      m_callback->OnSubpictureChange();
      break;
    case EC_DVD_ANGLE_CHANGE:
      m_currentAngle = static_cast<uint32_t>(p1);
      m_callback->OnAngleChange();
      break;
    case EC_DVD_BUTTON_CHANGE:
      if (m_pDvdInfo) m_pDvdInfo->GetCurrentButton(&m_buttonsAvailable, &m_currentButton);
      m_callback->OnButtonChange();
      break;
    case EC_DVD_VALID_UOPS_CHANGE:
      m_callback->OnValidUopsChange();
      break;
    case EC_DVD_STILL_ON:
      if (p1 == 1) m_still = 1;
      break;
    case EC_DVD_STILL_OFF:
      m_still = 0;
      break;
    case EC_DVD_ERROR:
      HandleError(static_cast<int32_t>(p1));
      break;
    case EC_DVD_WARNING:
      HandleWarning(static_cast<int32_t>(p1));
      break;
    case EC_DVD_NO_FP_PGC:
      if (m_pDvdControl) m_pDvdControl->PlayTitle(1, DVD_CMD_FLAG_None, nullptr);
      break;
    case EC_DVD_PLAYBACK_RATE_CHANGE:
      m_rate = static_cast<int32_t>(p1);
      m_callback->OnRateChange(static_cast<int32_t>(p1));
      break;
    case EC_DVD_PARENTAL_LEVEL_CHANGE: {
      char text[128];
      std::snprintf(text, sizeof text, "Accept Parental Level Change Request to level %d?", static_cast<int>(p1));
      const bool accept = ShowBox(text, "Accept Change?", kButtonsYesNo) == kAnswerYes;
      if (m_pDvdControl) m_pDvdControl->AcceptParentalLevelChange(accept ? 1 : 0);
      break;
    }
    case EC_DVD_ANGLES_AVAILABLE:
      if (m_pDvdInfo) m_pDvdInfo->GetCurrentAngle(&m_anglesAvailable, &m_currentAngle);
      m_callback->OnAnglesAvailable();
      break;
    case EC_DVD_CURRENT_HMSF_TIME: {
      const uint32_t packed = static_cast<uint32_t>(p1);
      m_currentTime.bHours = static_cast<uint8_t>(packed & 0xFF);
      m_currentTime.bMinutes = static_cast<uint8_t>((packed >> 8) & 0xFF);
      m_currentTime.bSeconds = static_cast<uint8_t>((packed >> 16) & 0xFF);
      m_currentTime.bFrames = static_cast<uint8_t>((packed >> 24) & 0xFF);
      m_callback->OnTimeUpdate();
      break;
    }
    default:
      break;
  }
}

void CDvdMpcCore::HandleError(int32_t code) {
  if (code >= DVD_ERROR_Unexpected && code <= DVD_ERROR_IncompatibleDiscAndDecoderRegions) {
    ShowBox(ErrorText(code), "Error", kButtonsOk);
    if (m_pMC) m_pMC->Stop();
  }
  m_callback->OnError();
}

void CDvdMpcCore::HandleWarning(int32_t code) {
  if (const char* text = WarningText(code)) ShowBox(text, "Warning", kButtonsOk);
  m_callback->OnWarning();
}

}  // namespace tarn
