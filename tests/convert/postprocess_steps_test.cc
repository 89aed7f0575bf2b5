// PostProcess on a worker thread, as the conversion thread runs it, with the
// job's window as a message queue on the test thread that records what it is
// sent; real temporary files made with ffmpeg, the real libTarnEncoder.so
// from the build's program folder, outputs checked with ffprobe.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/output_frame.h"
#include "convert/post_process.h"
#include "convert/rip_job.h"
#include "media_fixture.h"
#include "platform/message_queue.h"
#include "profiles/profile_catalogue.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::Probe;

const char* kTone = "-f lavfi -i sine=frequency=440:sample_rate=44100 -af aformat=channel_layouts=stereo";

// What the window was sent, in order.
struct Received {
  uint32_t message;
  intptr_t wparam;
};

class PostProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool loaded = Catalogue().Load(test::SourceDir() + "data/");
    ASSERT_TRUE(loaded);
    Settings().outputFolder = out.path();
    Conversion().remuxRunning = 1;
    CurrentOutputFrame().width = 320;
    CurrentOutputFrame().height = 240;
    SetPostProcessProgramFolder(test::ProgramDir());
    ASSERT_TRUE(test::FileExistsForTest(test::ProgramDir() + kPostProcessLibraryName));
  }
  void TearDown() override {
    Conversion().remuxRunning = 0;
    SetPostProcessProgramFolder("");
  }

  // Makes the profile with this format (and audio codec, when given) the
  // current one.
  void UseProfile(const std::string& format, const std::string& audioCodec = "") {
    for (const auto& p : Catalogue().profiles) {
      if (p->format == format && (audioCodec.empty() || p->audioCodec.value == audioCodec)) {
        Catalogue().SelectProfileById(p->listIndex);
        ASSERT_EQ(Catalogue().CurrentProfile()->format, format);
        return;
      }
    }
    FAIL() << "no shipped profile for " << format << " " << audioCodec;
  }

  void SetDestination(const std::string& name) { Settings().outputPath = out / name; }

  // Runs PostProcess on a worker thread while the test thread's window
  // handles the messages; `onMessage` may act like the user.
  PostProcessResult Run(const std::string& format, const std::string& audioCodec,
                        std::function<void(const Received&)> onMessage = nullptr) {
    received.clear();
    platform::MessageQueue window([&](const platform::Message& m) -> intptr_t {
      received.push_back({m.message, m.wparam});
      if (onMessage) onMessage(received.back());
      return 0;
    });
    std::atomic<bool> done{false};
    PostProcessResult result = PostProcessResult::kFailed;
    std::thread worker([&] {
      result = PostProcessOutput(format, audioCodec, &window);
      done = true;
    });
    while (!done) {
      if (platform::WaitForMessage(10)) platform::PumpMessages();
    }
    worker.join();
    platform::PumpMessages();
    return result;
  }

  std::set<std::string> FolderNames() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out.path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  // The messages of one library step: UM_REMUX_PROGRESS 0, then the library's
  // percentages (rising, ending at 100), then UM_PROGRESS_CLOSE.
  void ExpectOneLibraryStep() const {
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(received.front().message, UM_REMUX_PROGRESS);
    EXPECT_EQ(received.front().wparam, 0);
    EXPECT_EQ(received.back().message, UM_PROGRESS_CLOSE);
    EXPECT_EQ(received.back().wparam, 0);
    for (size_t i = 1; i + 1 < received.size(); ++i) {
      EXPECT_EQ(received[i].message, UM_REMUX_PROGRESS);
      if (i > 1) {
        EXPECT_GE(received[i].wparam, received[i - 1].wparam);
      }
    }
    EXPECT_EQ(received[received.size() - 2].wparam, 100);
  }

  void ExpectLogInOrder(const test::LogCapture& log, const std::vector<std::string>& lines) const {
    size_t at = 0;
    const auto records = log.records();
    for (const auto& [level, text] : records)
      if (at < lines.size() && text == lines[at]) ++at;
    EXPECT_EQ(at, lines.size()) << "missing from the log: " << (at < lines.size() ? lines[at] : "");
  }

  test::TempDir out;
  std::vector<Received> received;
};

TEST_F(PostProcessTest, ThreeGpAndThreeG2WithAmrNbAreRemuxedFromTheirTemporaryFile) {
  struct Case {
    std::string format, temp, ext, videoArgs;
  };
  for (const Case& c : {Case{"3ggp", "temp.3gp", "3gp", "-c:v h263 -f 3gp"},
                        Case{"3ggp2", "temp.3g2", "3g2", "-c:v mpeg4 -f 3g2"}}) {
    SCOPED_TRACE(c.format);
    UseProfile(c.format, "amr_nb");
    ASSERT_TRUE(test::MakeMedia(out / c.temp, "-f lavfi -i testsrc=size=176x144:rate=15 " + std::string(kTone) +
                                                  " -t 2 -c:a aac " + c.videoArgs));
    SetDestination("Film[1]." + c.ext);
    test::LogCapture log;
    EXPECT_EQ(Run(c.format, "amr_nb"), PostProcessResult::kDone);
    ExpectOneLibraryStep();
    ExpectLogInOrder(log, {"Convert file: begin remux 3gp, 3ggp2 file.\n", "Convert file: End remux 3gp, 3ggp2 file.\n"});
    auto audio = Probe(Settings().outputPath, "a:0");
    EXPECT_EQ(audio["codec_name"], "amr_nb");
    EXPECT_EQ(audio["sample_rate"], "8000");
    EXPECT_EQ(audio["channels"], "1");
    EXPECT_EQ(FolderNames(), std::set<std::string>{"Film[1]." + c.ext});  // the temporary file is gone
    std::filesystem::remove(Settings().outputPath);
  }
}

TEST_F(PostProcessTest, AudioFormatsAreConvertedFromTheTemporaryMp3) {
  struct Case {
    std::string format, codec;
  };
  for (const Case& c : {Case{"au", "pcm_s16be"}, Case{"amr", "amr_nb"}, Case{"wav", "pcm_s16le"}, Case{"m4a", "aac"}}) {
    SCOPED_TRACE(c.format);
    UseProfile(c.format);
    ASSERT_TRUE(test::MakeMedia(out / "temp.mp3", std::string(kTone) + " -t 2 -c:a libmp3lame -b:a 128k"));
    // An old temporary MP4 is replaced by the M4A conversion's own.
    if (c.format == "m4a") test::WriteFile(out / "temp.mp4", "old");
    SetDestination("Song." + c.format);
    test::LogCapture log;
    EXPECT_EQ(Run(c.format, Catalogue().CurrentProfile()->audioCodec.value), PostProcessResult::kDone);
    ExpectOneLibraryStep();
    ExpectLogInOrder(log, {"Convert file: begin remux au, amr, m4a wav file.\n",
                           "Convert file: end remux au, amr, m4a wav file.\n"});
    auto audio = Probe(Settings().outputPath, "a:0");
    EXPECT_EQ(audio["codec_name"], c.codec);
    EXPECT_EQ(audio["sample_rate"], Catalogue().CurrentProfile()->sampleRate.value);
    EXPECT_EQ(audio["channels"], Catalogue().CurrentProfile()->channels.value.substr(0, 1));
    EXPECT_NEAR(test::DecodedAudioSeconds(Settings().outputPath), 2.0, 0.1);
    EXPECT_EQ(FolderNames(), std::set<std::string>{"Song." + c.format});  // temp.mp3 and temp.mp4 are gone
    std::filesystem::remove(Settings().outputPath);
  }
}

const char* kExpectedFlvPage =
    R"PAGE(<html><head><title>Tarn Software</title>
<style><!-- \\
body,td,a,.h{font-family:arial,sans-serif;}
a{text-decoration:none; color:blue}
.h{font-size: 20px;}
//--></style></head><body>
<table height=100% width=100%>
<tr><td valign=top align=center><object classid="clsid:D27CDB6E-AE6D-11cf-96B8-444553540000" codebase="https://tarn-orvane.example/player/flash-plugin.cab#version=6,0,29,0" type="application/x-shockwave-flash" data="flv_player.swf?file=Film[1].flv" width=320 height=240 wmode="transparent">
<param name="movie" value="flv_player.swf?file=Film[1].flv"/>
<param name="wmode" value="transparent"/>
<embed src="flv_player.swf?Film[1].flv" wmode=transparent WIDTH=320 HEIGHT=240 TYPE="application/x-shockwave-flash" PLUGINSPAGE="https://tarn-orvane.example/player/get-plugin.html"></embed></object></td></tr>
<tr><td align=center><font size=-2><a href="https://tarn-orvane.example/">Made with Tarn Orvane</a></font></td></tr></table></body></html>)PAGE";

TEST_F(PostProcessTest, FlvGetsItsPageAndPlayerMovieWithoutMessages) {
  UseProfile("flv");
  SetDestination("Film[1].flv");
  test::WriteFile(Settings().outputPath, "the encoder's FLV");
  test::WriteFile(out / "flv_player.swf", "an old copy");
  test::LogCapture log;
  EXPECT_EQ(Run("flv", "mp3"), PostProcessResult::kDone);
  EXPECT_TRUE(received.empty());
  ExpectLogInOrder(log, {"Convert file: begin wite flv html file.\n", "Convert file: end wite flv html file.\n"});
  EXPECT_EQ(test::ReadFile(out / "Film[1].html"), kExpectedFlvPage);
  EXPECT_EQ(test::ReadFile(out / "flv_player.swf"), test::ReadFile(test::ProgramDir() + "flv_player.swf"));
  EXPECT_EQ(test::ReadFile(out / "flv_player.swf").substr(0, 3), "FWS");
  EXPECT_EQ(test::ReadFile(Settings().outputPath), "the encoder's FLV");
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"Film[1].flv", "Film[1].html", "flv_player.swf"}));
}

const char* kExpectedSwfPage = R"PAGE(<!-- saved from url=(0013)about:internet -->
<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN"><HTML>
<HEAD>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8" />
<TITLE>Tarn Software</TITLE>
</HEAD>
<BODY bgcolor="#ffffff"Onload="javascript:set_movie('Clip.swf'); fs_play(); fs_color(1)">
<script language="JavaScript">
<!--
var isInternetExplorer = navigator.appName.indexOf("Microsoft") != -1;
function fs_player_DoFSCommand(command, args) {
var fs_playerObj = isInternetExplorer ? document.all.fs_player : document.fs_player;
   if(command=='error')
 {alert("ERROR! "+args);}
}
function set_movie(tt1)
{
 document.all['fs_player'].FlashVars='movie_name='+tt1;
}
function fs_play()
{
 document.all['fs_player'].FlashVars='player_command=play';
}
function fs_stop()
{
 document.all['fs_player'].FlashVars='player_command=stop';
}
function fs_color(tt1)
{
 document.all['fs_player'].FlashVars='player_color='+tt1;
}
//-->
</script>
<TABLE WIDTH="100%" HEIGHT="100%">
<TR><TD>
<CENTER>
<object classid="clsid:d27cdb6e-ae6d-11cf-96b8-444553540000"
 codebase="https://tarn-orvane.example/player/flash-plugin.cab#version=8,0,0,0"
WIDTH="480" HEIGHT="360"  id="fs_player" align="middle">
<param name="allowScriptAccess" value="sameDomain" />
<param name="movie" value="swf_player.swf" />
<param name="quality" value="high" />
<param name="bgcolor" value="#ffffff" />
<embed src="Clip.swf" quality="high" bgcolor="#ffffff" WIDTH="480" HEIGHT="360" 
swLiveConnect=true id="fs_player" name="fs_player" align="middle" allowScriptAccess="sameDomain" type="application/x-shockwave-flash" pluginspage="https://tarn-orvane.example/player/get-plugin.html" />
</OBJECT>
</CENTER>
</TD></TR>
</TABLE>
</BODY>
</HTML>
)PAGE";

TEST_F(PostProcessTest, SwfIsRemuxedThenGetsItsPageAndTheDialogClosesAfterThePage) {
  UseProfile("swf");
  CurrentOutputFrame().width = 480;
  CurrentOutputFrame().height = 360;
  ASSERT_TRUE(test::MakeMedia(out / "temp.swf", "-f lavfi -i testsrc=size=320x240:rate=15 " + std::string(kTone) +
                                                   " -t 2 -c:v flv1 -c:a libmp3lame -ar 22050 -f swf"));
  SetDestination("Clip.swf");
  test::LogCapture log;
  EXPECT_EQ(Run("swf", "mp3"), PostProcessResult::kDone);
  ExpectOneLibraryStep();
  ExpectLogInOrder(log, {"Convert file: begin remux swf file.\n", "Convert file: end remux swf file.\n",
                         "Convert file: begin write swf html file.\n", "Convert file: end write swf html file.\n"});
  EXPECT_EQ(Probe(Settings().outputPath, "")["format_name"], "swf");
  EXPECT_EQ(Probe(Settings().outputPath, "v:0")["codec_name"], "flv1");
  EXPECT_EQ(test::ReadFile(out / "Clip.html"), kExpectedSwfPage);
  EXPECT_EQ(test::ReadFile(out / "swf_player.swf"), test::ReadFile(test::ProgramDir() + "swf_player.swf"));
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"Clip.swf", "Clip.html", "swf_player.swf"}));
}

TEST_F(PostProcessTest, GameConsoleFormatsGetAThumbnailBesideTheOutput) {
  for (const std::string format : {"psp-avc", "psp-mp4"}) {
    SCOPED_TRACE(format);
    UseProfile(format);
    SetDestination("Clip.MP4");
    ASSERT_TRUE(test::MakeMedia(Settings().outputPath,
                                "-f lavfi -i testsrc=size=320x240:rate=15 -t 2 -c:v mpeg4 -f mp4"));
    test::LogCapture log;
    EXPECT_EQ(Run(format, "aac"), PostProcessResult::kDone);
    EXPECT_TRUE(received.empty());
    ExpectLogInOrder(log, {"Convert file: begin write THM File.\n", "Convert file: end THM File.\n"});
    auto picture = Probe(out / "Clip.THM", "v:0");
    EXPECT_EQ(picture["codec_name"], "mjpeg");
    EXPECT_EQ(picture["width"], "160");
    EXPECT_EQ(picture["height"], "120");
    std::filesystem::remove(out / "Clip.THM");
  }
}

TEST_F(PostProcessTest, FormatsWithoutAStepLeaveEverythingAsItIs) {
  struct Case {
    std::string format, audioCodec;
  };
  for (const Case& c : {Case{"3ggp", "aac"}, Case{"3ggp2", "aac"}, Case{"mp4", "aac"}, Case{"mp3", "mp3"}}) {
    SCOPED_TRACE(c.format);
    SetDestination("Film." + c.format);
    test::WriteFile(Settings().outputPath, "as the encoder wrote it");
    test::WriteFile(out / "temp.3gp", "not ours to touch");
    EXPECT_EQ(Run(c.format, c.audioCodec), PostProcessResult::kDone);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(test::ReadFile(Settings().outputPath), "as the encoder wrote it");
    EXPECT_EQ(FolderNames(), (std::set<std::string>{"Film." + c.format, "temp.3gp"}));
    std::filesystem::remove(Settings().outputPath);
  }
}

// The user cancels: at once (the flag was already cleared) or while the
// library runs (the window clears it when the first percentage arrives).
// RemuxProgress answers 1 from then on, the library stops, no destination is
// left and the temporary file is deleted.
TEST_F(PostProcessTest, ACancelledRemuxStopsAndLeavesNoDestination) {
  UseProfile("3ggp", "amr_nb");
  for (bool cancelBeforeStart : {true, false}) {
    SCOPED_TRACE(cancelBeforeStart);
    ASSERT_TRUE(test::MakeMedia(out / "temp.3gp", "-f lavfi -i testsrc=size=176x144:rate=15 " + std::string(kTone) +
                                                      " -t 2 -c:v h263 -c:a aac -f 3gp"));
    SetDestination("Film[1].3gp");
    Conversion().remuxRunning = cancelBeforeStart ? 0 : 1;
    const PostProcessResult result = Run("3ggp", "amr_nb", [](const Received& m) {
      if (m.message == UM_REMUX_PROGRESS && m.wparam >= 1) Conversion().remuxRunning = 0;
    });
    EXPECT_EQ(result, PostProcessResult::kCancelled);
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().message, UM_PROGRESS_CLOSE);
    // Prompt: no more progress after the one the cancel answered.
    size_t progressAfterCancel = 0;
    bool cancelled = cancelBeforeStart;
    for (size_t i = 1; i + 1 < received.size(); ++i) {
      if (cancelled) ++progressAfterCancel;
      if (received[i].wparam >= 1) cancelled = true;
    }
    EXPECT_LE(progressAfterCancel, 1u);
    EXPECT_TRUE(FolderNames().empty());
  }
  EXPECT_EQ(RemuxProgress(50.0f, nullptr), 1);
  Conversion().remuxRunning = 1;
  EXPECT_EQ(RemuxProgress(50.0f, nullptr), 0);
}

TEST_F(PostProcessTest, RemuxProgressSendsTheWholePercentage) {
  std::vector<intptr_t> values;
  platform::MessageQueue window([&](const platform::Message& m) -> intptr_t {
    if (m.message == UM_REMUX_PROGRESS) values.push_back(m.wparam);
    return 0;
  });
  EXPECT_EQ(RemuxProgress(0.0f, &window), 0);
  EXPECT_EQ(RemuxProgress(42.99f, &window), 0);
  EXPECT_EQ(RemuxProgress(100.0f, &window), 0);
  EXPECT_EQ(values, (std::vector<intptr_t>{0, 42, 100}));
}

// A missing temporary input: the step fails, nothing is created and the
// other files of the folder stay as they were.
TEST_F(PostProcessTest, AMissingTemporaryInputFailsWithoutTouchingOtherFiles) {
  struct Case {
    std::string format, audioCodec, destination;
  };
  for (const Case& c : {Case{"3ggp", "amr_nb", "Film[1].3gp"}, Case{"m4a", "aac", "Song.m4a"},
                        Case{"wav", "pcm_s16le", "Song.wav"}, Case{"swf", "mp3", "Clip.swf"}}) {
    SCOPED_TRACE(c.format);
    UseProfile(c.format);
    test::WriteFile(out / "Other.mp4", "someone else's");
    SetDestination(c.destination);
    test::LogCapture log;
    EXPECT_EQ(Run(c.format, c.audioCodec), PostProcessResult::kFailed);
    EXPECT_FALSE(test::FileExistsForTest(Settings().outputPath));
    EXPECT_EQ(test::ReadFile(out / "Other.mp4"), "someone else's");
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received.front().message, UM_REMUX_PROGRESS);
    EXPECT_EQ(received.back().message, UM_PROGRESS_CLOSE);
    bool errorLogged = false;
    for (const auto& [level, text] : log.records()) errorLogged |= level == kLogError;
    EXPECT_TRUE(errorLogged);
    // SWF still gets its page and player beside the (missing) movie.
    std::set<std::string> expected{"Other.mp4"};
    if (c.format == "swf") expected = {"Other.mp4", "Clip.html", "swf_player.swf"};
    EXPECT_EQ(FolderNames(), expected);
    for (const auto& name : expected)
      if (name != "Other.mp4") std::filesystem::remove(out / name);
  }
}

// Without the library the call is skipped: the temporary input is still
// deleted, the end line logged and the dialog closed.
TEST_F(PostProcessTest, AMissingLibrarySkipsTheCall) {
  test::TempDir emptyProgram;
  SetPostProcessProgramFolder(emptyProgram.path());
  UseProfile("3ggp", "amr_nb");
  test::WriteFile(out / "temp.3gp", "encoder output");
  SetDestination("Film[1].3gp");
  test::LogCapture log;
  EXPECT_EQ(Run("3ggp", "amr_nb"), PostProcessResult::kFailed);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].message, UM_REMUX_PROGRESS);
  EXPECT_EQ(received[1].message, UM_PROGRESS_CLOSE);
  ExpectLogInOrder(log, {"Convert file: begin remux 3gp, 3ggp2 file.\n", "Convert file: End remux 3gp, 3ggp2 file.\n"});
  EXPECT_TRUE(FolderNames().empty());
}

}  // namespace
}  // namespace tarn
