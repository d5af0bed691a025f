#include "setup/PointerList.h"

#include <cmath>
#include <ctime>

TListTimerService* ListTimerService = nullptr;

void TListTimer::SetEnabled(bool on) {
  if (on == FEnabled) return;
  FEnabled = on;
  if (ListTimerService) {
    if (on) ListTimerService->Start(this, FInterval);
    else ListTimerService->Stop(this);
  }
}

void TListTimer::SetInterval(uint32_t ms) {
  if (ms == FInterval) return;
  FInterval = ms;
  if (FEnabled && ListTimerService) {
    ListTimerService->Stop(this);
    ListTimerService->Start(this, FInterval);
  }
}

void TListTimer::Tick() { FOwner->ExpireTimer(); }

// Days from 1 January 1970 to the given civil date (proleptic Gregorian calendar).
static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

TDateTime NowLocal() {
  const std::time_t t = std::time(nullptr);
  const std::tm* lt = std::localtime(&t);
  if (!lt) return 0;
  const int64_t days = DaysFromCivil(lt->tm_year + 1900, static_cast<unsigned>(lt->tm_mon + 1),
                                     static_cast<unsigned>(lt->tm_mday)) -
                       DaysFromCivil(1899, 12, 30);
  return static_cast<double>(days) + (lt->tm_hour * 3600 + lt->tm_min * 60 + lt->tm_sec) / 86400.0;
}

TDateTime (*TLHPointerList::Clock)() = NowLocal;

int64_t MillisecondsOf(TDateTime t) { return std::llround(t * 86400000.0); }

TLHPointerList::TLHPointerList() : FTimer(this) { FTimer.SetEnabled(true); }

TLHPointerList::~TLHPointerList() {
  Clear();
  FTimer.SetEnabled(false);
}

void TLHPointerList::FreeItem(TLHPointerNode* node) {
  if (FOnFreeItem) FOnFreeItem(FOnFreeItemContext, this, node->Item);
  delete node;
}

void TLHPointerList::Add(void* Item) {
  auto* node = new TLHPointerNode{Item, Clock(), nullptr};
  if (!FHead) {
    FHead = FTail = FCursor = node;
  } else {
    FTail->Next = node;
    FTail = node;
  }
  ++FCount;
}

// The nodes after the head go first, the head last: the callback sees the second, third, ...,
// last item and then the first.
void TLHPointerList::Clear() {
  if (FHead) {
    while (TLHPointerNode* next = FHead->Next) {
      FHead->Next = next->Next;
      FreeItem(next);
    }
    FreeItem(FHead);
  }
  FHead = FTail = FCursor = nullptr;
  FCount = 0;
}

void TLHPointerList::First() { FCursor = FHead; }

void* TLHPointerList::Current() const { return FCursor ? FCursor->Item : nullptr; }

bool TLHPointerList::Next() {
  if (!FCursor || !FCursor->Next) return false;
  FCursor = FCursor->Next;
  return true;
}

void* TLHPointerList::GetItem(int32_t Index) const {
  if (Index > FCount || Index < 1) return nullptr;
  TLHPointerNode* node = FHead;
  for (int32_t i = 1; i < Index; ++i) node = node->Next;
  return node->Item;
}

void TLHPointerList::SetCheckInterval(int32_t Seconds) {
  if (FCheckInterval == 0 && Seconds > 0) FTimer.SetEnabled(true);
  FCheckInterval = Seconds;
  if (Seconds == 0) FTimer.SetEnabled(false);
}

void TLHPointerList::ExpireTimer() {
  FTimer.SetEnabled(false);
  if (FMaxAge > 0) {
    // Ages are compared in whole milliseconds: a difference of two day fractions is rarely an
    // exact number of seconds, and an item of exactly FMaxAge seconds must stay.
    const int64_t now = MillisecondsOf(Clock());
    const int64_t maxAge = static_cast<int64_t>(FMaxAge) * 1000;
    TLHPointerNode* prev = nullptr;
    TLHPointerNode* node = FHead;
    while (node) {
      TLHPointerNode* next = node->Next;
      if (now - MillisecondsOf(node->Added) > maxAge) {
        if (FOnFreeItem) FOnFreeItem(FOnFreeItemContext, this, node->Item);
        if (prev) prev->Next = next;
        else FHead = next;
        if (FCursor == node) FCursor = nullptr;
        delete node;
        --FCount;
      } else {
        prev = node;
      }
      node = next;
    }
    FTail = prev;
  }
  if (FCheckInterval > 0) {
    FTimer.SetInterval(static_cast<uint32_t>(FCheckInterval) * 1000u);
    FTimer.SetEnabled(true);
  }
}
