#pragma once
// A scripted stand-in for the engine's graph interfaces, for the few tests
// that must force navigator events a real disc never produces (error codes,
// parental level requests, refused jumps). It records every call as text and
// answers with what the test put into it.
#include <deque>
#include <string>
#include <tuple>
#include <vector>

#include "TarnPlayer.h"
#include "playback/engine_library.h"

namespace tarn::test {

struct ScriptedGraph {
  // What the navigator reports.
  uint32_t locationTitle = 1;
  int32_t domain = tarnplayer::DVD_DOMAIN_Title;
  tarnplayer::DVD_HMSF_TIMECODE totalTime{1, 2, 3, 4};
  tarnplayer::DVD_VideoAttributes video{16, 9, 50, 720, 576, 1};
  uint32_t buttonsAvailable = 2, currentButton = 1;
  // Results the test forces.
  tarnplayer::HRESULT playChapterResult = tarnplayer::S_OK;
  int openResult = 1;
  int32_t volume = 0;
  // PlayChapterInTitle brings the navigator to the title at once (it reports
  // the title domain and the title).
  bool titleJumpArrives = false;

  std::deque<std::tuple<int32_t, intptr_t, intptr_t>> events;
  std::vector<std::string> calls;
  int refCount = 0;  // interfaces handed out and not yet released
  tarnplayer::IReferenceClock* syncSource = nullptr;
  tarnplayer::EventNotifyFn notify = nullptr;
  void* notifyContext = nullptr;

  void Push(int32_t code, intptr_t p1 = 0, intptr_t p2 = 0) { events.emplace_back(code, p1, p2); }
  bool Called(const std::string& call) const;
  size_t CountCalls(const std::string& prefix) const;
};

// The graph the entry points below hand out; a fresh one per test.
ScriptedGraph& Graph();
void ResetGraph();
EngineEntryPoints ScriptedEngine();

}  // namespace tarn::test
