#include "qx/interrupt.h"

#include <unistd.h>

namespace parley {
namespace {

// What the handler needs, and nothing more: how many SIGINTs came and the status to end with.
volatile sig_atomic_t interrupts = 0;
volatile sig_atomic_t exit_status = 0;

void OnInterrupt(int) {
  if (interrupts > 0) _exit(exit_status);
  interrupts = 1;
}

}  // namespace

InterruptWatch::InterruptWatch(int status) {
  interrupts = 0;
  exit_status = status;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_);
}

InterruptWatch::~InterruptWatch() { sigaction(SIGINT, &previous_, nullptr); }

bool InterruptWatch::requested() const { return interrupts > 0; }

}  // namespace parley
