#include "devsim/Pacer.h"

#include <gtest/gtest.h>

namespace mzt::devsim {
namespace {

using namespace std::chrono_literals;

TEST(Pacer, OffTakesEverything) {
  Pacer pacer;
  EXPECT_EQ(pacer.Allowance(Pacer::Clock::now(), 4096), 4096u);
  EXPECT_EQ(pacer.UntilNextByte(Pacer::Clock::now()), 0us);
}

// Over any stretch of time it takes no more than the rate allows, plus one
// burst of 10 ms worth.
TEST(Pacer, NeverTakesMoreThanTheRate) {
  Pacer pacer(11520);
  auto start = Pacer::Clock::time_point{} + 1h;
  size_t taken = 0;
  for (auto now = start; now <= start + 1s; now += 3ms) {
    size_t allowed = pacer.Allowance(now, 4096);
    pacer.Took(allowed);
    taken += allowed;
  }
  EXPECT_LE(taken, 11520u + 115u);
  EXPECT_GE(taken, 11520u - 115u);
}

TEST(Pacer, IdleTimeDoesNotPileUpCredit) {
  Pacer pacer(1000);
  auto start = Pacer::Clock::time_point{} + 1h;
  pacer.Took(pacer.Allowance(start, 4096));
  EXPECT_EQ(pacer.Allowance(start + 10s, 4096), 10u);
}

TEST(Pacer, SaysHowLongUntilTheNextByte) {
  Pacer pacer(1000);
  auto start = Pacer::Clock::time_point{} + 1h;
  pacer.Took(pacer.Allowance(start, 4096));
  EXPECT_EQ(pacer.Allowance(start, 1), 0u);
  EXPECT_EQ(pacer.UntilNextByte(start), 1000us);
  EXPECT_EQ(pacer.Allowance(start + 1ms, 4096), 1u);
}

}  // namespace
}  // namespace mzt::devsim
