#include "setup/PointerList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int a, b, c, d;

TEST(PointerList, NewListIsEmptyAndItsCursorAbsent) {
  TLHPointerList l;
  EXPECT_EQ(l.Count(), 0);
  l.First();
  EXPECT_EQ(l.Current(), nullptr);
  EXPECT_FALSE(l.Next());
  EXPECT_EQ(l.GetItem(1), nullptr);
  EXPECT_TRUE(l.FTimer.Enabled());  // on until switched off
  EXPECT_EQ(l.FTimer.Interval(), 1000u);
}

TEST(PointerList, FirstAddPlacesTheCursorLaterAddsLeaveIt) {
  TLHPointerList l;
  l.Add(&a);
  EXPECT_EQ(l.Current(), &a);
  l.Add(&b);
  l.Add(&c);
  EXPECT_EQ(l.Current(), &a);
  EXPECT_TRUE(l.Next());
  EXPECT_EQ(l.Current(), &b);
  l.Add(&d);
  EXPECT_EQ(l.Current(), &b);
  std::vector<void*> walk;
  l.First();
  do walk.push_back(l.Current()); while (l.Next());
  EXPECT_EQ(walk, (std::vector<void*>{&a, &b, &c, &d}));
  EXPECT_FALSE(l.Next());
  EXPECT_EQ(l.Current(), &d);  // stays on the last item
}

TEST(PointerList, GetItemCountsFromOneAndAnswersNullOutOfRange) {
  TLHPointerList l;
  l.Add(&a);
  l.Add(nullptr);
  l.Add(&a);  // the same pointer twice
  l.Add(&c);
  struct Case { int32_t index; void* item; };
  for (Case k : {Case{-1, nullptr}, Case{0, nullptr}, Case{1, &a}, Case{2, nullptr},
                 Case{3, &a}, Case{4, &c}, Case{5, nullptr}, Case{INT32_MIN, nullptr}})
    EXPECT_EQ(l.GetItem(k.index), k.item) << k.index;
  EXPECT_EQ(l.Count(), 4);
}

struct Seen {
  std::vector<void*> items;
  static void Record(void* self, TLHPointerList*, void* item) {
    static_cast<Seen*>(self)->items.push_back(item);
  }
};

TEST(PointerList, ClearCallsBackForTheSecondToLastThenTheFirst) {
  Seen seen;  // outlives the list, whose destructor clears it
  TLHPointerList l;
  l.FOnFreeItem = Seen::Record;
  l.FOnFreeItemContext = &seen;
  l.Clear();  // empty: nothing
  EXPECT_TRUE(seen.items.empty());
  l.Add(&a);
  l.Add(&b);
  l.Add(&c);
  l.Clear();
  EXPECT_EQ(seen.items, (std::vector<void*>{&b, &c, &a}));
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.Current(), nullptr);
  EXPECT_EQ(l.GetItem(1), nullptr);
  l.Add(&d);  // behaves like a new list
  EXPECT_EQ(l.Current(), &d);
  EXPECT_EQ(l.GetItem(1), &d);
  EXPECT_EQ(l.FHead, l.FTail);
}

TEST(PointerList, CheckIntervalSwitchesTheTimer) {
  TLHPointerList l;
  l.SetCheckInterval(0);
  EXPECT_FALSE(l.FTimer.Enabled());
  l.SetCheckInterval(-5);  // stored, starts nothing
  EXPECT_FALSE(l.FTimer.Enabled());
  EXPECT_EQ(l.FCheckInterval, -5);
  l.SetCheckInterval(3);  // from -5, not 0: still nothing starts
  EXPECT_FALSE(l.FTimer.Enabled());
  l.SetCheckInterval(0);
  l.SetCheckInterval(3);
  EXPECT_TRUE(l.FTimer.Enabled());
  EXPECT_EQ(l.FTimer.Interval(), 1000u);  // the period it already had
  l.SetCheckInterval(-1);                 // neither stops a running timer
  EXPECT_TRUE(l.FTimer.Enabled());
  l.FTimer.Tick();  // ...nor lets a tick re-arm it
  EXPECT_FALSE(l.FTimer.Enabled());
}

TEST(PointerList, TickWithoutMaxAgeDropsNothingAndRearmsOnlyWithAPositiveInterval) {
  TLHPointerList l;
  l.Add(&a);
  l.FTimer.Tick();
  EXPECT_FALSE(l.FTimer.Enabled());  // FCheckInterval 0: one tick, then off
  EXPECT_EQ(l.Count(), 1);
  l.SetCheckInterval(7);
  l.FTimer.Tick();
  EXPECT_TRUE(l.FTimer.Enabled());
  EXPECT_EQ(l.FTimer.Interval(), 7000u);
  EXPECT_EQ(l.Count(), 1);
}

double fakeNow;
double FakeClock() { return fakeNow; }

TEST(PointerList, TickDropsItemsOlderThanMaxAgeWhereverTheyStand) {
  auto* saved = TLHPointerList::Clock;
  TLHPointerList::Clock = FakeClock;
  const double sec = 1.0 / 86400;
  {
    Seen seen;
    TLHPointerList l;
    l.FOnFreeItem = Seen::Record;
    l.FOnFreeItemContext = &seen;
    l.FMaxAge = 60;
    fakeNow = 1000;
    l.Add(&a);  // 100 s old at the tick
    fakeNow = 1000 + 70 * sec;
    l.Add(&b);  // 30 s
    fakeNow = 1000 + 30 * sec;
    l.Add(&c);  // 70 s
    fakeNow = 1000 + 100 * sec;
    l.Add(&d);  // 0 s
    l.First();  // the cursor on a dropped node becomes absent
    fakeNow = 1000 + 100 * sec;
    l.ExpireTimer();
    EXPECT_EQ(seen.items, (std::vector<void*>{&a, &c}));
    EXPECT_EQ(l.Count(), 2);
    EXPECT_EQ(l.GetItem(1), &b);
    EXPECT_EQ(l.GetItem(2), &d);
    EXPECT_EQ(l.GetItem(3), nullptr);
    EXPECT_EQ(l.Current(), nullptr);
    l.Add(&a);
    EXPECT_EQ(l.GetItem(3), &a);
    EXPECT_EQ(l.FTail->Item, &a);
    fakeNow = 1000 + 1000 * sec;
    l.ExpireTimer();  // everything
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.FHead, nullptr);
    EXPECT_EQ(l.FTail, nullptr);
    l.Add(&c);
    EXPECT_EQ(l.Current(), &c);
  }
  TLHPointerList::Clock = saved;
}

TEST(PointerList, AnItemOfExactlyMaxAgeStays) {
  auto* saved = TLHPointerList::Clock;
  TLHPointerList::Clock = FakeClock;
  {
    TLHPointerList l;
    l.FMaxAge = 86400;  // one day, exact in binary
    fakeNow = 10;
    l.Add(&a);
    fakeNow = 11;
    l.ExpireTimer();
    EXPECT_EQ(l.Count(), 1);
    fakeNow = 11.5;
    l.ExpireTimer();
    EXPECT_EQ(l.Count(), 0);
  }
  TLHPointerList::Clock = saved;
}

// A whole-second local time as NowLocal composes it: whole days plus the time of day / 86400.
double Stamp(int64_t seconds) {
  return static_cast<double>(seconds / 86400) + static_cast<double>(seconds % 86400) / 86400.0;
}

TEST(PointerList, ExpiryAtTheLimitOverManyWholeSecondTimestamps) {
  auto* saved = TLHPointerList::Clock;
  TLHPointerList::Clock = FakeClock;
  struct Case { int32_t maxAge; int64_t age; bool stays; };
  const Case cases[] = {
      {60, 59, true}, {60, 60, true}, {60, 61, false},
      {1, 1, true}, {1, 2, false}, {86400, 86400, true}, {86400, 86401, false},
  };
  // From 2026-01-01 (day 46023) on, through a day boundary and beyond: 24,670 start times.
  const int64_t base = 46023LL * 86400 + 86400 - 12000;
  for (const Case& t : cases) {
    int wrong = 0;
    for (int64_t k = 0; k < 24670; ++k) {
      TLHPointerList l;
      l.FMaxAge = t.maxAge;
      fakeNow = Stamp(base + k);
      l.Add(&a);
      fakeNow = Stamp(base + k + t.age);
      l.ExpireTimer();
      wrong += (l.Count() == 1) != t.stays;
    }
    EXPECT_EQ(wrong, 0) << "max age " << t.maxAge << " s, item " << t.age << " s old";
  }
  TLHPointerList::Clock = saved;
}

TEST(PointerList, MillisecondsOfRoundsToTheNearest) {
  EXPECT_EQ(MillisecondsOf(0), 0);
  EXPECT_EQ(MillisecondsOf(1), 86400000);
  EXPECT_EQ(MillisecondsOf(Stamp(46023LL * 86400 + 3661)), (46023LL * 86400 + 3661) * 1000);
  EXPECT_EQ(MillisecondsOf(0.5 / 86400000 * 0.9), 0);
  EXPECT_EQ(MillisecondsOf(1.1 / 86400000), 1);
}

TEST(PointerList, NowIsDaysSince1899) {
  // 2020-01-01 is day 43831; any run of these tests is later than that and earlier than 2200.
  const double now = NowLocal();
  EXPECT_GT(now, 43831.0);
  EXPECT_LT(now, 109574.0);
}

}  // namespace
