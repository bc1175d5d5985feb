// Ctrl-C while a send runs: the first SIGINT asks for the send to be cancelled (qx sends CANCL and
// waits for the send's reply); the second ends qx at once with the given status.
#ifndef PARLEY_QX_INTERRUPT_H_
#define PARLEY_QX_INTERRUPT_H_

#include <csignal>

namespace parley {

// Catches SIGINT for its lifetime and restores the previous handling afterwards. One at a time.
class InterruptWatch {
 public:
  explicit InterruptWatch(int exit_status);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // True once SIGINT has arrived.
  bool requested() const;

 private:
  struct sigaction previous_ {};
};

}  // namespace parley

#endif  // PARLEY_QX_INTERRUPT_H_
