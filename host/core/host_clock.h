// HostClock: the time the host schedules plugin callbacks by, in seconds. The real clock follows
// the platform's monotonic clock; the virtual clock stands still until the host moves it, so
// tests and `--clock virtual` decide exactly when callbacks fall due.
#pragma once

namespace dul::host {

class HostClock {
 public:
  virtual ~HostClock() = default;
  virtual double NowSeconds() const = 0;
  // Moves a virtual clock forward to `seconds` (never backwards); a real clock cannot be moved
  // and answers false.
  virtual bool MoveTo(double seconds) = 0;
};

class RealClock final : public HostClock {
 public:
  RealClock();
  double NowSeconds() const override;
  bool MoveTo(double) override { return false; }

 private:
  double start_;
};

class VirtualClock final : public HostClock {
 public:
  double NowSeconds() const override { return now_; }
  bool MoveTo(double seconds) override {
    if (seconds > now_)
      now_ = seconds;
    return true;
  }

 private:
  double now_ = 0.0;
};

}  // namespace dul::host
