// The single-instance guard: at most one engine serves a given UI-link port on this machine.
#ifndef PARLEY_APP_INSTANCE_GUARD_H_
#define PARLEY_APP_INSTANCE_GUARD_H_

#include <cstdint>

namespace parley {

class InstanceGuard {
 public:
  // Takes the guard of `port`. The guard is a name in the abstract socket namespace, so the
  // system releases it when the holder ends, however it ends.
  explicit InstanceGuard(uint16_t port);
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  // False when another engine holds the guard of the port.
  bool acquired() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace parley

#endif  // PARLEY_APP_INSTANCE_GUARD_H_
