#include <gtest/gtest.h>

#include "Config.h"

// The learn gesture on the settings alone; the instrument wraps these steps
// in its lock and feeds them from the MIDI handler and the parameter hook.
namespace {

constexpr int kPan1 = 68;

struct Learn : public ::testing::Test {
  Config c;
  int finished = 0;
  void SetUp() override { c.onLearnFinished = [this] { ++finished; }; }
};

TEST_F(Learn, ParameterThenController) {
  c.ArmLearn(true, false);
  c.CaptureParameter(kPan1);
  EXPECT_TRUE(c.learnActive);
  EXPECT_EQ(finished, 0);
  c.CaptureController(21);
  EXPECT_EQ(c.controllerMap[21], kPan1);
  EXPECT_FALSE(c.learnActive);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(c.learnSwitchResets, 1);
  // The gesture is over: further moves change nothing.
  c.CaptureController(22);
  c.CaptureParameter(3);
  EXPECT_EQ(c.controllerMap[22], -1);
  EXPECT_EQ(finished, 1);
}

TEST_F(Learn, ControllerThenParameter) {
  c.ArmLearn(true, false);
  c.CaptureController(21);
  EXPECT_TRUE(c.learnActive);
  c.CaptureController(23);  // a second controller replaces the first
  c.CaptureParameter(kPan1);
  EXPECT_EQ(c.controllerMap[23], kPan1);
  EXPECT_EQ(c.controllerMap[21], -1);
  EXPECT_FALSE(c.learnActive);
  EXPECT_EQ(finished, 1);
}

TEST_F(Learn, TheParameterMovedLastIsBound) {
  c.ArmLearn(true, false);
  c.CaptureParameter(4);
  c.CaptureParameter(kPan1);
  c.CaptureController(21);
  EXPECT_EQ(c.controllerMap[21], kPan1);
  for (int cc = 0; cc < Config::kControllers; ++cc) EXPECT_NE(c.controllerMap[cc], 4);
}

TEST_F(Learn, RelearningMovesTheBinding) {
  c.ArmLearn(true, false);
  c.CaptureParameter(kPan1);
  c.CaptureController(21);
  c.ArmLearn(true, false);
  c.CaptureParameter(kPan1);
  c.CaptureController(22);
  EXPECT_EQ(c.controllerMap[21], -1);
  EXPECT_EQ(c.controllerMap[22], kPan1);
}

TEST_F(Learn, LearningCollapsesSeveralBindingsFromTheFile) {
  // A file may bind one parameter to several controllers; a learn of it
  // leaves exactly one.
  c.controllerMap[3] = kPan1;
  c.controllerMap[90] = kPan1;
  c.controllerMap[7] = 4;
  c.ArmLearn(true, false);
  c.CaptureController(50);
  c.CaptureParameter(kPan1);
  int bound = 0;
  for (int cc = 0; cc < Config::kControllers; ++cc) bound += c.controllerMap[cc] == kPan1;
  EXPECT_EQ(bound, 1);
  EXPECT_EQ(c.controllerMap[50], kPan1);
  EXPECT_EQ(c.controllerMap[7], 4);
}

TEST_F(Learn, LearningAControllerTakesItFromItsOldParameter) {
  c.controllerMap[21] = 4;
  c.ArmLearn(true, false);
  c.CaptureController(21);
  c.CaptureParameter(kPan1);
  EXPECT_EQ(c.controllerMap[21], kPan1);
}

TEST_F(Learn, UnlearnByController) {
  c.controllerMap[21] = kPan1;
  c.controllerMap[22] = kPan1;
  c.ArmLearn(true, true);
  c.CaptureController(21);
  EXPECT_EQ(c.controllerMap[21], -1);
  EXPECT_EQ(c.controllerMap[22], kPan1);
  EXPECT_FALSE(c.learnActive);
  EXPECT_FALSE(c.unlearnMode);
  EXPECT_EQ(finished, 1);
}

TEST_F(Learn, UnlearnByParameterRemovesEveryBinding) {
  c.controllerMap[21] = kPan1;
  c.controllerMap[90] = kPan1;
  c.controllerMap[7] = 4;
  c.ArmLearn(true, true);
  c.CaptureParameter(kPan1);
  EXPECT_EQ(c.controllerMap[21], -1);
  EXPECT_EQ(c.controllerMap[90], -1);
  EXPECT_EQ(c.controllerMap[7], 4);
  EXPECT_FALSE(c.learnActive);
  // The first capture decided: a controller arriving now does nothing.
  c.CaptureController(7);
  EXPECT_EQ(c.controllerMap[7], 4);
  EXPECT_EQ(finished, 1);
}

TEST_F(Learn, PressingTheArmedSwitchCancels) {
  c.ArmLearn(true, false);
  c.CaptureParameter(kPan1);
  c.ArmLearn(false, false);
  EXPECT_EQ(c.learnedParameter, -1);
  EXPECT_EQ(c.learnedController, -1);
  // Every end of a gesture tells the switch, this one too (it is off already).
  EXPECT_EQ(finished, 1);
  c.CaptureController(21);
  EXPECT_EQ(c.controllerMap[21], -1);
  EXPECT_EQ(finished, 1);
  // Arming again starts from nothing.
  c.ArmLearn(true, false);
  c.CaptureController(21);
  EXPECT_TRUE(c.learnActive);
  EXPECT_EQ(c.controllerMap[21], -1);
}

TEST_F(Learn, ModWheelAndSustainCanBeStored) {
  c.ArmLearn(true, false);
  c.CaptureController(1);
  c.CaptureParameter(kPan1);
  c.ArmLearn(true, false);
  c.CaptureController(64);
  c.CaptureParameter(4);
  EXPECT_EQ(c.controllerMap[1], kPan1);
  EXPECT_EQ(c.controllerMap[64], 4);
}

TEST_F(Learn, OutOfRangeCapturesAreIgnored) {
  c.ArmLearn(true, false);
  c.CaptureController(120);
  c.CaptureController(-1);
  c.CaptureParameter(-1);
  EXPECT_EQ(c.learnedController, -1);
  EXPECT_EQ(c.learnedParameter, -1);
  EXPECT_TRUE(c.learnActive);
  c.CaptureController(119);
  c.CaptureParameter(0);
  EXPECT_EQ(c.controllerMap[119], 0);
}

TEST_F(Learn, CommitWhileIdleResetsTheSwitch) {
  c.CommitLearn();
  EXPECT_EQ(finished, 1);
  // Without a hook (no editor) only the count moves.
  Config bare;
  bare.ArmLearn(true, true);
  bare.CaptureController(5);
  EXPECT_EQ(bare.learnSwitchResets, 1);
}

}  // namespace
