#include "playback/engine_library.h"

namespace tarn {

bool EngineLibrary::Load(const std::string& programFolder) {
  Unload();
  if (!m_library.Open(programFolder + kEngineLibraryName)) {
    m_error = m_library.Error();
    return false;
  }
  EngineEntryPoints e;
  e.openMedia = m_library.Entry<TarnOpenMediaFn>("TarnOpenMedia");
  e.closeMedia = m_library.Entry<TarnCloseMediaFn>("TarnCloseMedia");
  e.playMedia = m_library.Entry<TarnPlayMediaFn>("TarnPlayMedia");
  e.stopMedia = m_library.Entry<TarnStopMediaFn>("TarnStopMedia");
  if (!e.Complete()) {
    m_error = std::string(kEngineLibraryName) + " lacks an entry point";
    m_library.Close();
    return false;
  }
  m_entries = e;
  m_error.clear();
  return true;
}

void EngineLibrary::Unload() {
  m_entries = EngineEntryPoints();
  m_library.Close();
}

}  // namespace tarn
