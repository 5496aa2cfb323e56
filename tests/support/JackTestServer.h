#pragma once

#include <jack/jack.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace lw::test {

// A JACK server of the test's own: jackd with the dummy backend under a name no other
// server has, so nothing else is touched. Stopped (or killed) by the test, and stopped
// when it goes out of scope.
class JackTestServer {
public:
  // With `realtime` the server and its clients' process threads run with real-time
  // scheduling (where the system grants it), as on a musician's machine.
  explicit JackTestServer(unsigned rate = 44100, unsigned period = 64, bool realtime = false) {
    static std::atomic<int> servers{0};
    // The probes below meet a server that is not up yet; libjack would say so each time.
    jack_set_error_function([](const char* /*message*/) {});
    name_ = "loopwren-test-" + std::to_string(::getpid()) + "-" + std::to_string(servers++);
    const std::string rateArg = std::to_string(rate);
    const std::string periodArg = std::to_string(period);
    std::vector<std::string> args = {"jackd", "-n",     name_, realtime ? "-R" : "--no-realtime",
                                     "-d",    "dummy",  "-r",  rateArg,
                                     "-p",    periodArg};
    std::vector<char*> argv;
    for (std::string& a : args) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The dummy backend reports every late timer wake-up on its output.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "jackd", &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ > 0) {
      WaitUntilUp();
    }
  }
  ~JackTestServer() { Stop(); }
  JackTestServer(const JackTestServer&) = delete;
  JackTestServer& operator=(const JackTestServer&) = delete;

  // Whether the server answers clients; why not otherwise (for a skip message).
  [[nodiscard]] bool up() const { return up_; }
  [[nodiscard]] const std::string& why() const { return why_; }
  [[nodiscard]] const std::string& name() const { return name_; }

  // A client of this server, or null.
  [[nodiscard]] jack_client_t* Connect(const char* client) const {
    jack_status_t status{};
    return jack_client_open(client, static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                            &status, name_.c_str());
  }

  // Ends the server the way a user's Ctrl-C does.
  void Stop() { End(SIGTERM); }
  // Ends it without warning: no client is told.
  void Kill() { End(SIGKILL); }

private:
  void WaitUntilUp() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        why_ = "jackd exited at once (status " + std::to_string(status) + ")";
        return;
      }
      if (jack_client_t* probe = Connect("probe")) {
        jack_client_close(probe);
        up_ = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why_ = "jackd did not answer within 15 s";
  }

  void End(int signal) {
    if (pid_ <= 0) {
      return;
    }
    ::kill(pid_, signal);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    up_ = false;
    // A killed server leaves its socket and semaphores behind.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
      const std::string file = entry.path().filename().string();
      if (file.find("_" + name_ + "_") != std::string::npos) {
        std::filesystem::remove(entry.path(), ignored);
      }
    }
  }

  std::string name_;
  pid_t pid_ = -1;
  bool up_ = false;
  std::string why_ = "jackd could not be started";
};

} // namespace lw::test
