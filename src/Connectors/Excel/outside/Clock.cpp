#include "outside/Clock.h"

#include <ctime>
#include <string>

#include "Error.h"

namespace zentora::excel {
namespace {

class SystemClock : public Clock {
 public:
  LocalDateTime Now() const override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr) {
      throw Error(ErrorCode::Overflow,
                  "the system time " + std::to_string(now.tv_sec) + " has no local calendar date");
    }
    return LocalDateTime{local.tm_year + 1900,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         static_cast<std::int32_t>(now.tv_nsec / 1000)};
  }
};

const SystemClock kSystemClock;
const Clock* currentClock = &kSystemClock;

}  // namespace

ClockOverride::ClockOverride(const Clock& clock) : previous_(currentClock) { currentClock = &clock; }

ClockOverride::~ClockOverride() { currentClock = previous_; }

const Clock& CurrentClock() { return *currentClock; }

LocalDateTime LocalNow() { return currentClock->Now(); }

float SecondsSinceMidnight() {
  const LocalDateTime now = LocalNow();
  const double seconds = (now.hour * 60 + now.minute) * 60 + now.second + now.microsecond / 1e6;
  return static_cast<float>(seconds);
}

}  // namespace zentora::excel
