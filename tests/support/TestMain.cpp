#include <gtest/gtest.h>

#include "common/Timing.h"

// Every test runs with the timing table scaled down, so that failure paths
// that wait seconds in life take milliseconds here.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  mzt::SetTimeScale(0.01);
  return RUN_ALL_TESTS();
}
