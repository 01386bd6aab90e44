#include "lists/server_list_answer.h"

#include <gtest/gtest.h>

namespace {

TEST(IsCompleteListTest, TakesOnlyWholeSuccessfulAnswers) {
  EXPECT_TRUE(IsCompleteList({200, 12}, 12));
  EXPECT_TRUE(IsCompleteList({204, std::nullopt}, 0));
  // The platform hands over error pages and cut-off bodies as if they were lists.
  EXPECT_FALSE(IsCompleteList({404, 12}, 12));
  EXPECT_FALSE(IsCompleteList({500, std::nullopt}, 7));
  EXPECT_FALSE(IsCompleteList({302, std::nullopt}, 7));
  EXPECT_FALSE(IsCompleteList({200, 12}, 11));
  EXPECT_FALSE(IsCompleteList({200, 12}, 13));
}

TEST(IsCompleteListTest, TakesTheBodyAsItCameWhenNothingWasLearned) {
  EXPECT_TRUE(IsCompleteList({}, 5));
  EXPECT_TRUE(IsCompleteList({200, std::nullopt}, 5));
}

}  // namespace
