#include "send/ResumePosition.h"

#include <gtest/gtest.h>

namespace {

TEST(ResumePosition, FollowsTheMembersThatGotTheMessage)
{
    TResumePosition position;
    EXPECT_EQ(position.position(), 1) << "nothing handled: the run starts over";
    position.delivered(1);
    position.delivered(2);
    EXPECT_EQ(position.position(), 3);

    TResumePosition resumed(5);
    EXPECT_EQ(resumed.position(), 5);
    resumed.delivered(5);
    EXPECT_EQ(resumed.position(), 6);
}

TEST(ResumePosition, TheFirstMissedMemberHoldsItWhateverGoesOutAfter)
{
    TResumePosition position;
    position.delivered(1);
    position.delivered(2);
    position.missed(3);
    position.delivered(4);
    position.missed(5);
    position.delivered(6);
    EXPECT_EQ(position.position(), 3);
}

TEST(ResumePosition, AMemberThatALaterPassGetsThroughNoLongerHoldsIt)
{
    TResumePosition position;
    for (int member = 1; member <= 10; ++member) {
        if (member == 2 || member == 6)
            position.missed(member); // turned away for now
        else
            position.delivered(member);
    }
    EXPECT_EQ(position.position(), 2);
    position.delivered(2);
    EXPECT_EQ(position.position(), 6);
    position.delivered(6);
    EXPECT_EQ(position.position(), 11) << "everyone has it";
}

TEST(ResumePosition, AMemberClaimedThenRefusedIsMissed)
{
    // The message went out in full, then the server refused it.
    TResumePosition position;
    position.delivered(1);
    EXPECT_EQ(position.position(), 2);
    position.missed(1);
    EXPECT_EQ(position.position(), 1);
}

}
