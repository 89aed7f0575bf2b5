#include "playback/engine_library.h"

#include <mutex>

#include "platform/paths.h"

namespace tarn {

namespace {
std::mutex g_folderLock;
std::string g_engineFolder;
}  // namespace

std::string EngineFolder() {
  std::lock_guard<std::mutex> lock(g_folderLock);
  return g_engineFolder.empty() ? platform::ProgramFolder() : g_engineFolder;
}

void SetEngineFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_folderLock);
  g_engineFolder = folder.empty() ? folder : platform::WithTrailingSlash(folder);
}

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
