#include "db/Tservercall.h"

#include <atomic>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// When the running call began, in milliseconds of the steady clock plus one;
// 0 while no call runs.
std::atomic<long long> started{0};

long long Now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count() + 1;
}

}  // namespace

TServerCall::TServerCall() noexcept
{
    long long none = 0;
    outermost = started.compare_exchange_strong(none, Now());
}

TServerCall::~TServerCall()
{
    if (outermost)
        started = 0;
}

long long TServerCall::RunningFor() noexcept
{
    const long long since = started.load();
    return since == 0 ? -1 : Now() - since;
}
