#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace lw::test {

// Polls `done` every two milliseconds until it holds or `limit` has passed; whether it
// held. For what another thread (a JACK callback, a peer) brings about in its own time.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

} // namespace lw::test
