// Note in to sound out under JACK, as a musician's pad meets it: a pad client on a private
// dummy server sends notes at frames spread over every position inside a period, a
// recorder takes LoopWren's mix, and each note's delay is the distance from its frame to
// the first sound it made. Reported as the smallest, largest and mean delay and the
// spread between them (the jitter), in frames and milliseconds.
//
//   loopwren_note_latency_bench [NOTES] [PERIOD]      (default 400 notes, 64 frames)
#include "EngineHelpers.h"
#include "JackMidiSender.h"
#include "JackRecorder.h"
#include "JackTestServer.h"
#include "live/JackOutput.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

int main(int argc, char** argv) {
  using namespace lw;
  const int notes = argc > 1 ? std::atoi(argv[1]) : 400;
  const auto period = static_cast<uint32_t>(argc > 2 ? std::atoi(argv[2]) : 64);
  test::JackTestServer server(
      test::JackTestServer::Options{.rate = kOutputRate, .period = period, .synchronous = true});
  if (!server.up()) {
    std::printf("note latency: skipped, %s\n", server.why().c_str());
    return 0;
  }
  // A drum of 2000 frames that starts loud, so its first frame shows.
  auto engine = test::NewEngine();
  {
    const EngineHold hold(engine->engineLock);
    test::PutSample(*engine, 0, std::vector<int16_t>(2000, 20000), 44100, SampleCategory::Drum);
    test::PutNote(*engine, 0, 0, 0, 0, 0);
  }
  JackOutput out(*engine);
  LiveInput input;
  out.SetInput(&input);
  if (const std::string why = out.Open(server.name()); !why.empty()) {
    std::printf("note latency: skipped, %s\n", why.c_str());
    return 0;
  }
  constexpr uint32_t kApart = 3000;
  const std::size_t frames = static_cast<std::size_t>(notes) * kApart + 44100;
  test::JackRecorder recorder(server, 1, frames);
  test::JackMidiSender pads(server);
  if (!recorder.ok() || !pads.ok() || !recorder.ConnectFrom(out.clientName() + ":mix", 0) ||
      !pads.ConnectTo(out.clientName() + ":" + JackOutput::kMidiPortName)) {
    std::printf("note latency: the test clients could not join the server\n");
    return 1;
  }
  recorder.Start();
  recorder.WaitFor(period * 4);
  std::mt19937 random(7);
  std::vector<jack_nframes_t> times;
  jack_nframes_t at = pads.Now() + 100 * period;
  for (int n = 0; n < notes; ++n) {
    times.push_back(at + static_cast<jack_nframes_t>(random() % period));
    pads.Send(times.back(), {0x99, 36, 127});
    at += kApart;
  }
  recorder.WaitFor(static_cast<std::size_t>(times.back() - recorder.firstFrame()) + 4 * period,
                   std::chrono::seconds(120));
  std::vector<int64_t> delays;
  for (const jack_nframes_t time : times) {
    const std::size_t from = time - recorder.firstFrame();
    const auto heard = recorder.ValuesAt(0, from, kApart);
    const auto first = std::find_if(heard.begin(), heard.end(), [](int32_t v) { return v != 0; });
    if (first != heard.end()) {
      delays.push_back(first - heard.begin());
    }
  }
  out.Close();
  if (delays.empty()) {
    std::printf("note latency: no note was heard\n");
    return 1;
  }
  const auto [low, high] = std::minmax_element(delays.begin(), delays.end());
  double mean = 0;
  for (const int64_t d : delays) {
    mean += static_cast<double>(d);
  }
  mean /= static_cast<double>(delays.size());
  const double ms = 1000.0 / kOutputRate;
  std::printf("note in to sound out, %zu of %d notes heard, %u-frame periods (%.2f ms), "
              "synchronous dummy server:\n",
              delays.size(), notes, period, period * ms);
  std::printf("  smallest %lld frames (%.3f ms), largest %lld frames (%.3f ms), mean %.2f "
              "frames; jitter %lld frames; %zu notes sent late by the pad client\n",
              static_cast<long long>(*low), static_cast<double>(*low) * ms,
              static_cast<long long>(*high), static_cast<double>(*high) * ms, mean,
              static_cast<long long>(*high - *low), pads.missed());
  return 0;
}
