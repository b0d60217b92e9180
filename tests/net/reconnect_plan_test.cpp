// The reconnection plan of a pinned download, walked through outages of minutes on a made-up clock.
#include "net/reconnect_plan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const DownloadTimeouts kTimeouts = kDefaultDownloadTimeouts;  // 2 s growing to 15 s, 3 minutes in all

// Fails the current address at `*now` until the plan gives up or says to wait, and notes each step:
// "a<address>" for a try, "w<seconds>" for a wait (which the clock then passes), "end" at the end.
std::string FailAll(ReconnectPlan& plan, DWORD* now, int tries, AddressFailure failure = AddressFailure::Broken)
{
    std::string steps;
    for (int i = 0; i < tries; ++i) {
        plan.Failed(failure);
        DWORD waitMs = 0;
        const NextTry next = plan.Next(*now, &waitMs);
        if (next == NextTry::GiveUp)
            return steps + "end";
        if (next == NextTry::AfterWait) {
            steps += "w" + std::to_string(waitMs / 1000) + " ";
            *now += waitMs;
        }
        steps += "a" + std::to_string(plan.address()) + " ";
    }
    return steps;
}

}  // namespace

TEST(ReconnectPlan, OneAddressWaitsLongerEachTimeUpToFifteenSecondsForThreeMinutesWithoutAByte)
{
    DWORD now = 1000;
    ReconnectPlan plan(1, kTimeouts, now);
    EXPECT_EQ(FailAll(plan, &now, 6), "w2 a0 w4 a0 w8 a0 w15 a0 w15 a0 w15 a0 ");
    // A byte: the whole allowance again, and the waits start again from 2 s.
    plan.Progress(now);
    EXPECT_EQ(FailAll(plan, &now, 2), "w2 a0 w4 a0 ");
    // 2 + 4 + 8 + 11 x 15 = 179 s, then the last second of the allowance, then the end.
    std::string rest = "w8 a0 ";
    for (int i = 0; i < 11; ++i)
        rest += "w15 a0 ";
    EXPECT_EQ(FailAll(plan, &now, 20), rest + "w1 a0 end");
    EXPECT_EQ(plan.AllowanceLeft(now), 0u);
}

TEST(ReconnectPlan, MirrorsAreTriedInTurnAtOnceAndTheRoundWaitsOnlyWhenAllHaveFailed)
{
    DWORD now = 0xFFFFF000;  // the tick count wraps during the outage
    ReconnectPlan plan(3, kTimeouts, now);
    EXPECT_EQ(plan.address(), 0);
    EXPECT_FALSE(plan.OthersFailed());
    EXPECT_EQ(FailAll(plan, &now, 7), "a1 a2 w2 a0 a1 a2 w4 a0 a1 ");
    EXPECT_TRUE(plan.OthersFailed()) << "the only hope now";
    EXPECT_EQ(plan.AllowanceLeft(now), 180000u - 6000u);
}

TEST(ReconnectPlan, RefusedAddressesAreNotAskedAgainAndNoneLeftEndsAtOnce)
{
    DWORD now = 0;
    ReconnectPlan plan(3, kTimeouts, now);
    EXPECT_EQ(FailAll(plan, &now, 1, AddressFailure::Refused), "a1 ");
    plan.Refuse(2);  // served bytes that failed the hash
    EXPECT_EQ(FailAll(plan, &now, 2), "w2 a1 w4 a1 ");
    EXPECT_TRUE(plan.AnyLeft());
    EXPECT_EQ(FailAll(plan, &now, 1, AddressFailure::Refused), "end");
    EXPECT_FALSE(plan.AnyLeft());
}
