#pragma once
// The title catalogue: reads a disc's titles through the DVD information
// library and fills the title list with one rip job per title of a minute
// or more, checking the main movie (the first title with the most chapters).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dvd/source_rows.h"

namespace tarn {

namespace platform {
class MessageQueue;
}
struct AppSettings;
class ProfileCatalogue;
class DvdReaderLibrary;

// Aspect text by the library's aspect code: 0 "4:3", 3 "16:9", else
// "unknow aspect".
const char* AspectLabel(unsigned code);
float AspectRatioValue(unsigned code);

// The window the catalogue fills. Everything it points to belongs to the
// window's thread and is only touched through messages sent to `queue`.
struct CatalogueWindow {
  const platform::MessageQueue* queue = nullptr;
  SourceRows* rows = nullptr;
  std::string* sourceFolder = nullptr;
  const AppSettings* settings = nullptr;
  const ProfileCatalogue* catalogue = nullptr;
};

// Builds the catalogue of `folder` into the window's rows. Sends
// UM_LOADING_OPEN first and UM_LOADING_CLOSE last. Returns false when the
// library could not open the disc ("Open DVD %s failed" is logged).
bool LoadTitleCatalogue(const std::string& folder, const CatalogueWindow& window, const DvdReaderLibrary& library);

// Appends the row of one title whatever its length, unchecked, for a caller
// that names its titles itself (the command line's title choice). A title
// the library cannot read still gets a row, without streams and length, so
// the job can fail on it. False when the disc cannot be opened.
bool LoadTitleRow(const std::string& folder, int titleNumber, const CatalogueWindow& window,
                  const DvdReaderLibrary& library);

// Starts one worker thread per open command. The library holds one disc at
// a time, so builds run one after another: a second open waits for the
// first build to end and the list then shows the disc opened last.
class CatalogueLoader {
 public:
  CatalogueLoader(CatalogueWindow window, const DvdReaderLibrary& library);
  ~CatalogueLoader();  // waits for running builds, handling the window's messages
  CatalogueLoader(const CatalogueLoader&) = delete;
  CatalogueLoader& operator=(const CatalogueLoader&) = delete;

  void Start(const std::string& folder);
  bool Busy() const { return running_.load() > 0; }
  // Waits until no build runs, handling the calling thread's messages.
  void WaitIdle() const;
  // Result of the last build that ended: true when its disc opened.
  bool LastOpened() const { return lastOpened_.load(); }

 private:
  CatalogueWindow window_;
  const DvdReaderLibrary& library_;
  // Builds take turns in the order of their Start() calls.
  std::mutex turnMutex_;
  std::condition_variable turnChanged_;
  uint64_t nextTicket_ = 0;
  uint64_t serving_ = 0;
  std::vector<std::thread> workers_;
  std::atomic<int> running_{0};
  std::atomic<bool> lastOpened_{false};
};

}  // namespace tarn
