// The clock the component reads: the local date and time and the seconds since
// midnight. The operating system's clock serves unless a ClockOverride holds
// another one, which is how tests make stamps and ages deterministic.
#pragma once

#include <cstdint>

namespace zentora::excel {

// A local calendar date and time of day.
struct LocalDateTime {
  std::int32_t year = 0;
  std::int32_t month = 0;   // 1..12
  std::int32_t day = 0;     // 1..31
  std::int32_t hour = 0;    // 0..23
  std::int32_t minute = 0;  // 0..59
  std::int32_t second = 0;  // 0..59 (60 for a leap second)
  std::int32_t microsecond = 0;

  bool operator==(const LocalDateTime&) const = default;
};

// A source of the present local date and time.
class Clock {
 public:
  virtual ~Clock() = default;
  // The present local date and time.
  virtual LocalDateTime Now() const = 0;
};

// A clock that always shows the time it was set to.
class FixedClock : public Clock {
 public:
  explicit FixedClock(const LocalDateTime& now) : now_(now) {}
  LocalDateTime Now() const override { return now_; }
  // Makes the clock show `now` from here on.
  void Set(const LocalDateTime& now) { now_ = now; }

 private:
  LocalDateTime now_;
};

// While alive, makes CurrentClock() return `clock` (borrowed; it must outlive
// the override); restores the previous clock when destroyed. Overrides nest.
class ClockOverride {
 public:
  explicit ClockOverride(const Clock& clock);
  ~ClockOverride();
  ClockOverride(const ClockOverride&) = delete;
  ClockOverride& operator=(const ClockOverride&) = delete;

 private:
  const Clock* previous_;
};

// The clock in force: the innermost live ClockOverride, else the operating system's local clock.
const Clock& CurrentClock();

// CurrentClock().Now().
LocalDateTime LocalNow();

// Seconds since local midnight with their fraction, as single precision.
float SecondsSinceMidnight();

}  // namespace zentora::excel
