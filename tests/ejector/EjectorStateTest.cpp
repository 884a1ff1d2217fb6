// The ejector's state machine: every transition from every state; its life on the virtual card.

#include <gtest/gtest.h>

#include <cstdlib>

#include "card/VirtualCard.h"
#include "ejector/Ejector.h"
#include "support/LogCapture.h"

namespace {

// Brings a fresh ejector into `state` along the allowed path. It is not initialised, so no worker
// thread runs that could move the state meanwhile (an active thread without a controlling camera
// suspends itself).
void Reach(Ejector& ejector, EjectorState state) {
  const EjectorState path[] = {eActive_JustStarted, eActive};
  if (state == eClosing) {
    ASSERT_TRUE(ejector.SetState(eClosing));
  } else {
    for (int i = 0; i < static_cast<int>(state); ++i) ASSERT_TRUE(ejector.SetState(path[i]));
  }
  ASSERT_EQ(ejector.GetState(), state);
}

TEST(EjectorStates, EveryTransitionIsAllowedIgnoredOrRefusedAsTheTableSays) {
  unsetenv("KORVEX_DAQ");
  daq::ResetCards();
  LogCapture log(2);
  enum Outcome { kYes, kIgnored, kRefused };
  // Rows: current state; columns: requested state (suspended, just started, active, closing).
  const Outcome table[4][4] = {{kIgnored, kYes, kRefused, kYes},
                               {kYes, kIgnored, kYes, kYes},
                               {kYes, kRefused, kIgnored, kYes},
                               {kRefused, kRefused, kRefused, kIgnored}};
  for (int from = 0; from < 4; ++from) {
    for (int to = 0; to < 4; ++to) {
      Ejector ejector;
      Reach(ejector, static_cast<EjectorState>(from));
      log.Clear();
      const bool result = ejector.SetState(static_cast<EjectorState>(to));
      const Outcome expected = table[from][to];
      EXPECT_EQ(result, expected != kRefused) << from << " -> " << to;
      EXPECT_EQ(ejector.GetState(), expected == kYes ? to : from) << from << " -> " << to;
      EXPECT_EQ(log.Contains("ignored, since it is already set"), expected == kIgnored) << from << " -> " << to;
      EXPECT_EQ(log.Contains("cannot come after state " + std::to_string(from) + " \n"), expected == kRefused)
          << from << " -> " << to << "\n" << log.Text();
    }
  }
}

TEST(EjectorStates, SuspendingTwiceSucceedsAndResetsTheCurrentLine) {
  unsetenv("KORVEX_DAQ");
  daq::ResetCards();
  LogCapture log(2);
  Ejector ejector;
  EXPECT_FALSE(ejector.State_Suspend());
  EXPECT_TRUE(log.Contains("Ejector::State_Suspend: ERROR: ejector was not initialized\n"));
  ASSERT_TRUE(ejector.Init(0, 0));
  EXPECT_FALSE(ejector.Init(0, 0));
  EXPECT_TRUE(log.Contains("Ejector::Init: already initialized\n"));
  ejector.SetCurrentLineValue(42);
  EXPECT_TRUE(ejector.State_Suspend());
  EXPECT_TRUE(log.Contains("Ejector::SetState: WARNING: state 0 ignored, since it is already set\n"));
  EXPECT_EQ(ejector.GetCurrentLine(), 0);
  ejector.Destroy();
  EXPECT_FALSE(ejector.IsInitialized());
  EXPECT_TRUE(log.Contains("EjectorThread::Destroy: thread closed\n"));
}

TEST(EjectorStates, ACardThatDoesNotOpenFailsInitAndALaterInitCanStillSucceed) {
  unsetenv("KORVEX_DAQ");
  daq::ResetCards();
  LogCapture log(1);
  Ejector ejector;
  EXPECT_FALSE(ejector.Init(6, 0)) << "no card 6";
  EXPECT_TRUE(log.Contains("Ejector::Init: ERROR initializing advantech\n"));
  EXPECT_FALSE(ejector.IsInitialized());
  EXPECT_TRUE(ejector.Init(0, 0));
}

}  // namespace
