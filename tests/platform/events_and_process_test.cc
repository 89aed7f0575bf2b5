#include <gtest/gtest.h>

#include <thread>

#include "platform/child_process.h"
#include "platform/named_event.h"

namespace tarn::platform {
namespace {

TEST(AutoResetEvent, SignalWakesOneWaitAndClears) {
  auto e = NamedEvents::Create("TestEvent");
  EXPECT_EQ(NamedEvents::Open("TestEvent"), e);
  EXPECT_EQ(NamedEvents::Open("NoSuchEvent"), nullptr);
  EXPECT_FALSE(e->Wait(10));
  std::thread setter([&] { NamedEvents::Open("TestEvent")->Set(); });
  EXPECT_TRUE(e->Wait(2000));
  setter.join();
  EXPECT_FALSE(e->Wait(0));  // auto-reset
  e->Set();
  e->Reset();
  EXPECT_FALSE(e->Wait(0));
  NamedEvents::Remove("TestEvent");
}

TEST(ChildProcess, StartsWaitsAndTerminates) {
  ChildProcess ok;
  ASSERT_TRUE(ok.Start("sh", {"-c", "exit 3"}));
  ASSERT_TRUE(ok.WaitExit(5000));
  EXPECT_EQ(WEXITSTATUS(ok.ExitStatus()), 3);

  ChildProcess env;
  ASSERT_TRUE(env.Start("sh", {"-c", "test \"$TARN_X\" = 42"}, {"TARN_X=42"}));
  ASSERT_TRUE(env.WaitExit(5000));
  EXPECT_EQ(WEXITSTATUS(env.ExitStatus()), 0);

  ChildProcess sleeper;
  ASSERT_TRUE(sleeper.Start("sleep", {"30"}));
  EXPECT_TRUE(sleeper.Running());
  sleeper.Terminate(500);
  EXPECT_FALSE(sleeper.Running());

  ChildProcess missing;
  EXPECT_FALSE(missing.Start("/no/such/program", {}));
}

}  // namespace
}  // namespace tarn::platform
