// Where each row goes in a batch of deletions (named as the rows were) and insertions
// (named as they will be), and which batches cannot hold.
#include <gtest/gtest.h>

#include "uikit/UIIndexPathUpdates.h"

namespace {
using Moves = std::map<NSIndexPath, NSIndexPath>;
}

TEST(IndexPathUpdatesTest, SurvivorsMovePastDeletionsAndInsertions) {
  // Old rows a b c d e; delete b and d; insert two new rows at 0 and 2: x a y c e.
  UIIndexPathUpdates batch;
  batch.deletes = {{0, 1}, {0, 3}};
  batch.inserts = {{0, 0}, {0, 2}};
  auto moves = batch.moves({5}, {5});
  ASSERT_TRUE(moves);
  EXPECT_EQ(*moves, (Moves{{{0, 0}, {0, 1}}, {{0, 2}, {0, 3}}, {{0, 4}, {0, 4}}}));
  // Sections move on their own.
  UIIndexPathUpdates two;
  two.deletes = {{1, 0}};
  two.inserts = {{0, 1}};
  auto both = two.moves({2, 2}, {3, 1});
  ASSERT_TRUE(both);
  EXPECT_EQ(*both, (Moves{{{0, 0}, {0, 0}}, {{0, 1}, {0, 2}}, {{1, 1}, {1, 0}}}));
}

TEST(IndexPathUpdatesTest, BatchesThatCannotHold) {
  UIIndexPathUpdates none;
  EXPECT_TRUE(none.moves({3}, {3}));
  EXPECT_FALSE(none.moves({3}, {4})) << "a row came without being announced";
  EXPECT_FALSE(none.moves({3}, {3, 0})) << "sections changed";
  UIIndexPathUpdates outside;
  outside.deletes = {{0, 3}};
  EXPECT_FALSE(outside.moves({3}, {2})) << "there was no row 3";
  UIIndexPathUpdates twice;
  twice.deletes = {{0, 1}, {0, 1}};
  EXPECT_FALSE(twice.moves({3}, {1}));
  UIIndexPathUpdates negative;
  negative.inserts = {{0, -1}};
  EXPECT_FALSE(negative.moves({0}, {1}));
  UIIndexPathUpdates reloadedTooFar;
  reloadedTooFar.reloads = {{2, 0}};
  EXPECT_FALSE(reloadedTooFar.moves({1}, {1}));
}

TEST(IndexPathUpdatesTest, CarryingKeepsTheViewsOfRowsThatStay) {
  UIIndexPathUpdates batch;
  batch.deletes = {{0, 0}};
  batch.reloads = {{0, 2}};
  auto a = std::make_shared<int>(0), b = std::make_shared<int>(1), c = std::make_shared<int>(2);
  std::map<NSIndexPath, std::shared_ptr<int>> visible{{{0, 0}, a}, {{0, 1}, b}, {{0, 2}, c}};
  std::vector<NSIndexPath> selected{{0, 1}, {0, 2}};
  std::vector<int> retired;
  batch.carry(*batch.moves({3}, {2}), visible, selected, [&](const NSIndexPath&, std::shared_ptr<int> v) { retired.push_back(*v); });
  EXPECT_EQ(retired, (std::vector<int>{0, 2})) << "the deleted and the reloaded row give up their views";
  EXPECT_EQ(visible, (std::map<NSIndexPath, std::shared_ptr<int>>{{{0, 0}, b}}));
  EXPECT_EQ(selected, (std::vector<NSIndexPath>{{0, 0}})) << "b's selection moved with it; the reloaded row's went";
}
