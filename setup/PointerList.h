// TLHPointerList: a singly linked list of untyped pointers, kept in the order they were added,
// with one cursor for walking (First, Current, Next), a lookup by 1-based position and an
// optional expiry: every item is stamped with the moment it was added, and a periodic timer can
// drop the items older than FMaxAge seconds. The list never owns its items.
//
// The timer only keeps its state here (portable); the Windows part of the program binds it to
// the user-interface thread's message loop through ListTimerService. Without a service it never
// ticks by itself, and a test may call Tick() in its place.
#pragma once

#include <cstdint>

class TLHPointerList;
class TListTimer;

// Starts and stops the platform timer behind a TListTimer.
struct TListTimerService {
  virtual void Start(TListTimer* timer, uint32_t periodMs) = 0;
  virtual void Stop(TListTimer* timer) = 0;
};
extern TListTimerService* ListTimerService;  // null: timers never tick by themselves

class TListTimer {
 public:
  explicit TListTimer(TLHPointerList* owner) : FOwner(owner) {}
  ~TListTimer() { SetEnabled(false); }
  TListTimer(const TListTimer&) = delete;
  TListTimer& operator=(const TListTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool on);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t ms);  // restarts a running timer with the new period
  void Tick();                    // one tick: the owner's ExpireTimer

 private:
  TLHPointerList* FOwner;
  bool FEnabled = false;
  uint32_t FInterval = 1000;
};

// Local date and time as days since 30 December 1899, the fraction being the time of day.
using TDateTime = double;
TDateTime NowLocal();
// A date-time as whole milliseconds since the same day 0, rounded to the nearest.
int64_t MillisecondsOf(TDateTime t);

struct TLHPointerNode {
  void* Item;
  TDateTime Added;
  TLHPointerNode* Next;
};

class TLHPointerList {
 public:
  using TFreeItemEvent = void (*)(void* context, TLHPointerList* sender, void* item);

  TLHPointerList();
  ~TLHPointerList();
  TLHPointerList(const TLHPointerList&) = delete;
  TLHPointerList& operator=(const TLHPointerList&) = delete;

  void Add(void* Item);
  void Clear();
  void First();
  void* Current() const;
  bool Next();
  void* GetItem(int32_t Index) const;  // counted from 1; null out of range
  void SetCheckInterval(int32_t Seconds);
  void ExpireTimer();  // the timer's tick

  int32_t Count() const { return FCount; }

  TListTimer FTimer;
  TLHPointerNode* FHead = nullptr;
  TLHPointerNode* FTail = nullptr;
  TLHPointerNode* FCursor = nullptr;
  int32_t FCount = 0;
  int32_t FMaxAge = 0;         // seconds; 0 or less: items never expire
  int32_t FCheckInterval = 0;  // seconds between expiry passes; 0: the timer is off
  TFreeItemEvent FOnFreeItem = nullptr;
  void* FOnFreeItemContext = nullptr;

  static TDateTime (*Clock)();  // NowLocal; tests may replace it

 private:
  void FreeItem(TLHPointerNode* node);
};
