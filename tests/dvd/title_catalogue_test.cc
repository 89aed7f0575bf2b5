#include "dvd/title_catalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "app/settings.h"
#include "app/user_messages.h"
#include "dvd/dvd_reader_library.h"
#include "platform/message_queue.h"
#include "profile_fixture.h"
#include "profiles/profile_catalogue.h"
#include "test_support.h"

namespace tarn {
namespace {

const std::string kDiscs = TARN_TEST_DISCS_DIR;

// Records, in order, the loading messages the window receives and every row
// change its view is told of, and on which thread each arrived.
class RecordingWindow : public SourceRowsView {
 public:
  void RowsReset() override { Note("reset"); }
  void RowInserted(int i) override { Note("insert " + std::to_string(i)); }
  void RowChanged(int) override { Note("change"); }
  void RowSelected(int i) override { Note("select " + std::to_string(i)); }
  intptr_t Handle(const platform::Message& m) {
    if (m.message == UM_LOADING_OPEN) Note("open");
    if (m.message == UM_LOADING_CLOSE) Note("close");
    return 0;
  }
  void Note(const std::string& what) {
    events.push_back(what);
    if (std::this_thread::get_id() != owner) offThread = true;
  }
  std::vector<std::string> events;
  bool offThread = false;
  std::thread::id owner = std::this_thread::get_id();
};

class TitleCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.Load(test::ProgramDir())) << library.Error();
    test::ProfileSpec p;
    p.file = "p.xml";
    p.listIndex = 3;
    p.category = "C1";
    p.ext = "mp4";
    p.videoBitrates = {"256", "512.9"};  // the estimate truncates to whole kbit/s
    p.audioBitrates = {"128"};
    p.videoBitrateDefault = 1;
    p.audioBitrateDefault = 0;
    test::WriteCatalogue(program.path(), test::StandardCategoryNames(), {p});
    ASSERT_TRUE(profiles.Load(program.path()));
    settings.outputFolder = out.path();
    rows.SetView(&window);
  }

  bool Load(const std::string& disc) {
    CatalogueLoader loader(Target(), library);
    loader.Start(disc);
    loader.WaitIdle();
    return loader.LastOpened();
  }
  CatalogueWindow Target() { return CatalogueWindow{&queue, &rows, &sourceFolder, &settings, &profiles}; }

  const RipJob& Job(int row) { return *rows.Row(row)->job; }
  std::vector<int> Titles() {
    std::vector<int> t;
    for (int i = 0; i < rows.Count(); ++i) t.push_back(Job(i).titleIndex + 1);
    return t;
  }
  std::vector<int> Checked() {
    std::vector<int> t;
    for (int i = 0; i < rows.Count(); ++i)
      if (Job(i).checked) t.push_back(Job(i).titleIndex + 1);
    return t;
  }

  test::TempDir program, out;
  DvdReaderLibrary library;
  ProfileCatalogue profiles;
  AppSettings settings;
  RecordingWindow window;
  platform::MessageQueue queue{[this](const platform::Message& m) { return window.Handle(m); }};
  SourceRows rows;
  std::string sourceFolder;
};

TEST_F(TitleCatalogueTest, FeatureDiscRowsLabelsStreamsAndMainMovie) {
  ASSERT_TRUE(Load(kDiscs + "feature"));
  EXPECT_EQ(sourceFolder, kDiscs + "feature/");
  EXPECT_EQ(Titles(), (std::vector<int>{1, 2, 3}));  // title 4 lasts 20 s
  EXPECT_EQ(rows.Row(0)->firstColumn, "Title01(5Chapters) 16:9");
  EXPECT_EQ(rows.Row(1)->firstColumn, "Title02(6Chapters) 16:9");
  EXPECT_EQ(rows.Row(2)->firstColumn, "Title03(6Chapters) 4:3");
  EXPECT_EQ(Checked(), (std::vector<int>{2}));  // 2 and 3 tie on six chapters: the earlier stays
  EXPECT_EQ(rows.Selected(), 1);

  const RipJob& first = Job(0);
  const DvdTitleEntry& e1 = *first.title;
  EXPECT_NEAR(e1.duration, 72.0, 0.1);
  EXPECT_FLOAT_EQ(e1.aspectRatio, 1.77778f);
  EXPECT_EQ(e1.audioStreamNumbers, (std::vector<unsigned>{0, 1, 2}));
  EXPECT_EQ(e1.audioNames, (std::vector<std::string>{"English AC3 6ch", "Français MPEG1 2ch", "Deutsch LPCM 2ch"}));
  EXPECT_EQ(e1.subtitleStreamNumbers, (std::vector<unsigned>{0, 1}));
  EXPECT_EQ(e1.angleNumbers, (std::vector<unsigned>{1}));
  EXPECT_EQ(e1.selectedAngle, 1);
  EXPECT_EQ(e1.selectedAudio, 0);
  EXPECT_EQ(e1.selectedSubtitle, -1);
  EXPECT_EQ(e1.titleIndex, 0);
  EXPECT_EQ(e1.discFolder, kDiscs + "feature/");
  EXPECT_EQ(e1.movieTitle, "feature");
  EXPECT_EQ(e1.reserved7, 255);
  EXPECT_EQ(e1.reserved9, 0xFFFFFF);

  EXPECT_EQ(first.chapterIndex, -1);
  EXPECT_EQ(first.fullStart, 0.0);
  EXPECT_EQ(first.trimmedEnd, first.fullEnd);
  EXPECT_EQ(first.status, "Ready");
  EXPECT_EQ(first.rowName, "feature[1]");
  EXPECT_EQ(first.destination, out / "feature[1].mp4");
  EXPECT_NEAR(first.estimatedMB, (128 + 512) * e1.duration * 0.125 / 1024, 1e-9);
  EXPECT_EQ(rows.Row(0)->subItems[0], "00:01:12");
  EXPECT_EQ(rows.Row(0)->subItems[1], "00:00:00 <-> 00:01:12");
  EXPECT_EQ(rows.Row(0)->subItems[2], "feature[1].mp4");
  EXPECT_EQ(rows.Row(0)->subItems[3], "Ready");

  // Streams 0 and 2 only: two names, and selected audio 0 means stream 0.
  const DvdTitleEntry& e3 = *Job(2).title;
  EXPECT_EQ(e3.audioStreamNumbers, (std::vector<unsigned>{0, 2}));
  EXPECT_EQ(e3.audioNames.size(), 2u);
  EXPECT_TRUE(e3.subtitleNames.empty());
  EXPECT_FLOAT_EQ(e3.aspectRatio, 1.33333f);
}

TEST_F(TitleCatalogueTest, LoadingMessagesComeFirstAndLastAndEverythingRunsOnTheWindowThread) {
  rows.Insert(std::make_unique<RipJob>(), "left over");
  window.events.clear();
  ASSERT_TRUE(Load(kDiscs + "menu"));
  ASSERT_GE(window.events.size(), 3u);
  EXPECT_EQ(window.events.front(), "open");
  EXPECT_EQ(window.events[1], "reset");  // earlier rows go first
  EXPECT_EQ(window.events.back(), "close");
  EXPECT_FALSE(window.offThread);
  EXPECT_EQ(Titles(), (std::vector<int>{1, 2}));
  EXPECT_EQ(Checked(), (std::vector<int>{2}));  // three chapters beat two
}

TEST_F(TitleCatalogueTest, TitlesUnderOneMinuteAreLeftOut) {
  struct Case {
    const char* disc;
    std::vector<int> titles;
  } cases[] = {
      {"boundary", {2}},   // 59.92 s and 59.96 s out, 60.00 s in
      {"short", {}},       // every title under a minute: an empty list
      {"ntsc", {1, 2}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Load(kDiscs + c.disc)) << c.disc;
    EXPECT_EQ(Titles(), c.titles) << c.disc;
  }
}

TEST_F(TitleCatalogueTest, DestinationsNeverNameAnExistingFile) {
  test::WriteFile(out / "menu[1].mp4", "earlier output");
  test::WriteFile(out / "menu[2].mp4", "earlier output");
  test::WriteFile(out / "menu[2]_0.mp4", "earlier output");
  ASSERT_TRUE(Load(kDiscs + "menu"));
  EXPECT_EQ(Job(0).destination, out / "menu[1]_0.mp4");
  EXPECT_EQ(Job(1).destination, out / "menu[2]_1.mp4");
  EXPECT_EQ(test::ReadFile(out / "menu[1].mp4"), "earlier output");
}

TEST_F(TitleCatalogueTest, MovieTitleByKindOfSource) {
  ASSERT_TRUE(Load(kDiscs + "menu.iso"));
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(Job(0).title->movieTitle, "MENU_DISC");
  EXPECT_EQ(Job(0).destination, out / "MENU_DISC[1].mp4");
  ASSERT_TRUE(Load(kDiscs + "menu/VIDEO_TS"));
  EXPECT_EQ(Job(0).title->movieTitle, "menu");
}

TEST_F(TitleCatalogueTest, SourcesThatAreNotDiscsLeaveAnEmptyListAndSayWhy) {
  for (const char* name : {"damaged/empty", "damaged/random", "damaged/truncated-vmg", "no-such-folder"}) {
    test::LogCapture log;
    window.events.clear();
    EXPECT_FALSE(Load(kDiscs + name)) << name;
    EXPECT_EQ(rows.Count(), 0) << name;
    EXPECT_TRUE(log.Contains("Open DVD " + kDiscs + name)) << name;
    ASSERT_FALSE(window.events.empty());
    EXPECT_EQ(window.events.back(), "close") << name;  // the loading dialog still closes
  }
  for (const char* name : {"damaged/truncated-vts", "damaged/missing-vob", "damaged/bad-title-set",
                           "damaged/bad-title-number", "damaged/title-count"}) {
    Load(kDiscs + name);
    EXPECT_EQ(rows.Count(), 0) << name;  // copies of "short": nothing reaches a minute
  }
}

TEST_F(TitleCatalogueTest, AnOpenDuringABuildRunsAfterItAndTheLastDiscWins) {
  CatalogueLoader loader(Target(), library);
  loader.Start(kDiscs + "feature");
  loader.Start(kDiscs + "menu");
  loader.WaitIdle();
  EXPECT_EQ(sourceFolder, kDiscs + "menu/");
  EXPECT_EQ(Titles(), (std::vector<int>{1, 2}));
}

TEST_F(TitleCatalogueTest, MainMovieRuleWithChapterCountsOfZero) {
  // A candidate with no chapters is always replaced; otherwise only a
  // greater count wins.
  struct Case {
    const char* chapters;
    std::vector<int> checked;
  } cases[] = {
      {"0,0,0", {3}}, {"0,3,0", {2}}, {"3,0,5,5", {3}}, {"2", {1}},
  };
  DvdReaderLibrary fake;
  ASSERT_TRUE(fake.Load(TARN_FAKE_DVDREADER_DIR)) << fake.Error();
  for (const auto& c : cases) {
    ::setenv("TARN_FAKE_DVD_CHAPTERS", c.chapters, 1);
    CatalogueLoader loader(Target(), fake);
    loader.Start("/any/disc");
    loader.WaitIdle();
    EXPECT_EQ(Checked(), c.checked) << c.chapters;
    EXPECT_EQ(rows.Selected(), c.checked.front() - 1) << c.chapters;
  }
  ::unsetenv("TARN_FAKE_DVD_CHAPTERS");
}

TEST_F(TitleCatalogueTest, WithoutTheLibraryTheOpenFailsCleanly) {
  DvdReaderLibrary missing;
  EXPECT_FALSE(missing.Load(program.path()));
  EXPECT_FALSE(missing.Error().empty());
  test::LogCapture log;
  CatalogueLoader loader(Target(), missing);
  loader.Start(kDiscs + "feature");
  loader.WaitIdle();
  EXPECT_FALSE(loader.LastOpened());
  EXPECT_EQ(rows.Count(), 0);
}

}  // namespace
}  // namespace tarn
