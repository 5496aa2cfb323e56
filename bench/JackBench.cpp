// The cost of the JACK output: the busy song rendered in 64-frame periods, first by hand
// (the time one period's callback takes, its share of the period, and its worst case),
// then played for a while through a private dummy JACK server, reported as the share of
// one core this process used and the xruns the server reported. The server runs with
// real-time scheduling where the system grants it (as on a musician's machine), else (or
// with --no-realtime) without, where a busy machine makes it miss periods of its own: so
// the same client, stopped, is timed as long beforehand, and its xruns are the machine's.
//
//   loopwren_jack_bench [SECONDS] [--no-realtime]      (default 60 s, real-time)
#include "BusySong.h"
#include "JackTestServer.h"
#include "live/JackOutput.h"

#include <jack/jack.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace lw;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kPeriod = 64;
constexpr double kPeriodSeconds = static_cast<double>(kPeriod) / kOutputRate;

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process callback's work without a server: `seconds` of periods back to back.
void ByHand(double seconds) {
  auto engine = bench::BusySong();
  PeriodRenderer renderer(*engine);
  std::array<std::vector<float>, PeriodRenderer::kPorts> buffers;
  PeriodRenderer::PortBuffers ports{};
  for (std::size_t p = 0; p < buffers.size(); ++p) {
    buffers[p].resize(kPeriod);
    ports[p] = buffers[p].data();
  }
  renderer.PlayBtnClick();
  const auto periods = static_cast<std::size_t>(seconds / kPeriodSeconds);
  std::vector<double> times(periods);
  OutputFrame clock = 0;
  for (double& t : times) {
    const auto start = Clock::now();
    renderer.Process(ports, kPeriod, clock);
    t = std::chrono::duration<double>(Clock::now() - start).count();
    clock += kPeriod;
  }
  double total = 0;
  for (const double t : times) {
    total += t;
  }
  std::sort(times.begin(), times.end());
  const double mean = total / static_cast<double>(periods);
  std::printf("by hand: %zu periods of %u frames (%.1f s of the busy song)\n", periods, kPeriod,
              seconds);
  std::printf("  a period takes %.2f us on average (%.2f %% of its %.3f ms), median %.2f us,\n"
              "  99.9th percentile %.2f us, worst %.2f us (%.1f %% of the period)\n",
              mean * 1e6, 100 * mean / kPeriodSeconds, kPeriodSeconds * 1e3,
              times[periods / 2] * 1e6, times[periods * 999 / 1000] * 1e6, times.back() * 1e6,
              100 * times.back() / kPeriodSeconds);
}

} // namespace

int main(int argc, char** argv) {
  double seconds = 60.0;
  bool realtime = true;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--no-realtime") {
      realtime = false;
    } else {
      seconds = std::atof(argv[i]);
    }
  }
  ByHand(std::min(seconds, 20.0));

  auto server = std::make_unique<test::JackTestServer>(
      test::JackTestServer::Options{.rate = kOutputRate, .period = kPeriod, .realtime = realtime});
  if (!server->up() && realtime) {
    realtime = false;
    server = std::make_unique<test::JackTestServer>(test::JackTestServer::Options{
        .rate = kOutputRate, .period = kPeriod, .realtime = realtime});
  }
  if (!server->up()) {
    std::printf("through JACK: skipped, %s\n", server->why().c_str());
    return 0;
  }
  auto engine = bench::BusySong();
  JackOutput out(*engine);
  if (const std::string why = out.Open(server->name()); !why.empty()) {
    std::printf("through JACK: skipped, %s\n", why.c_str());
    return 0;
  }
  sched_param param{};
  int policy = 0;
  pthread_getschedparam(jack_client_thread_id(out.client()), &policy, &param);
  std::printf("the process thread runs %s\n", policy == SCHED_FIFO || policy == SCHED_RR
                                                  ? "with real-time scheduling"
                                                  : "without real-time scheduling");
  const double idleCpuBefore = CpuSeconds();
  const auto idleStart = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double idleWall = std::chrono::duration<double>(Clock::now() - idleStart).count();
  const double idleCpu = CpuSeconds() - idleCpuBefore;
  const uint64_t idleXruns = out.xruns();
  const uint64_t idlePeriods = out.renderer().counters().periods;
  std::printf("through JACK, stopped: %.1f s, %.2f %% of one core, %llu xruns\n", idleWall,
              100.0 * idleCpu / idleWall, static_cast<unsigned long long>(idleXruns));

  const double cpuBefore = CpuSeconds();
  const auto start = Clock::now();
  out.renderer().PlayBtnClick();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuBefore;
  const auto counters = out.renderer().counters();
  out.renderer().Stop();
  out.Close();
  std::printf("through JACK (%s dummy server, %u frames, %.3f ms a period): %.1f s of the "
              "busy song\n",
              realtime ? "real-time" : "no-real-time", kPeriod, kPeriodSeconds * 1e3, wall);
  std::printf("  %.2f %% of one core for this process, %llu periods, %llu xruns, %llu late "
              "frames\n",
              100.0 * cpu / wall, static_cast<unsigned long long>(counters.periods - idlePeriods),
              static_cast<unsigned long long>(out.xruns() - idleXruns),
              static_cast<unsigned long long>(counters.lateFrames));
  return 0;
}
