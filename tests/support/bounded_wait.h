// Waiting on a condition with a deadline, never on a guess.
#ifndef ORVFLASH_TESTS_SUPPORT_BOUNDED_WAIT_H
#define ORVFLASH_TESTS_SUPPORT_BOUNDED_WAIT_H

#include <functional>

// Polls `condition` every `pollMs` until it holds or `timeoutMs` has passed; the last look is
// after the deadline.
bool WaitUntil(const std::function<bool()>& condition, unsigned long timeoutMs,
               unsigned long pollMs = 5);

#endif
