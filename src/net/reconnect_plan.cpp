#include "net/reconnect_plan.h"

ReconnectPlan::ReconnectPlan(int addresses, const DownloadTimeouts& timeouts, DWORD now)
    : count_(addresses < 1 ? 1 : addresses > 1 + kMaxMirrors ? 1 + kMaxMirrors : addresses),
      timeouts_(timeouts),
      usable_(count_),
      lastProgress_(now),
      nextWaitMs_(timeouts.retryMs)
{
}

void ReconnectPlan::Progress(DWORD now)
{
    lastProgress_ = now;
    nextWaitMs_ = timeouts_.retryMs;
    failedSinceProgress_ = 0;
    failedThisRound_ = 0;
}

void ReconnectPlan::Failed(AddressFailure failure)
{
    if (failure == AddressFailure::Refused) {
        Refuse(current_);
        return;
    }
    ++failedSinceProgress_;
    ++failedThisRound_;
    MoveOn();
}

void ReconnectPlan::Refuse(int address)
{
    if (address < 0 || address >= count_ || refused_[address])
        return;
    refused_[address] = true;
    --usable_;
    if (address == current_)
        MoveOn();
}

void ReconnectPlan::MoveOn()
{
    for (int step = 1; step <= count_; ++step) {
        const int candidate = (current_ + step) % count_;
        if (!refused_[candidate]) {
            current_ = candidate;
            return;
        }
    }
}

NextTry ReconnectPlan::Next(DWORD now, DWORD* waitMs)
{
    *waitMs = 0;
    const DWORD left = AllowanceLeft(now);
    if (!AnyLeft() || left == 0)
        return NextTry::GiveUp;
    if (failedThisRound_ < usable_)
        return NextTry::Now;  // an address that has not failed since the last byte or wait
    failedThisRound_ = 0;
    *waitMs = nextWaitMs_ < left ? nextWaitMs_ : left;
    nextWaitMs_ = nextWaitMs_ >= timeouts_.retryLimitMs / 2 ? timeouts_.retryLimitMs : nextWaitMs_ * 2;
    return NextTry::AfterWait;
}

DWORD ReconnectPlan::AllowanceLeft(DWORD now) const
{
    const DWORD passed = now - lastProgress_;  // modulo 2^32: GetTickCount wraps after 49 days
    return passed >= timeouts_.outageMs ? 0 : timeouts_.outageMs - passed;
}
