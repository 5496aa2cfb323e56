#pragma once

#include <jack/jack.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace lw::test {

// A JACK server of the test's own: jackd with the dummy backend under a name no other
// server has, so nothing else is touched. Stopped (or killed) by the test, and stopped
// when it goes out of scope or the test program dies.
class JackTestServer {
public:
  struct Options {
    unsigned rate = 44100;
    unsigned period = 64;
    // The server's and its clients' process threads run with real-time scheduling (where
    // the system grants it), as on a musician's machine.
    bool realtime = false;
    // Each period waits until every client has run, in the order of the connections,
    // however late: a busy machine then delays periods instead of letting a client read
    // another's port before it was written. For tests that record what a client plays.
    bool synchronous = false;
  };
  JackTestServer() : JackTestServer(Options{}) {}
  explicit JackTestServer(const Options& options) {
    static std::atomic<int> servers{0};
    // The probes below meet a server that is not up yet; libjack would say so each time.
    jack_set_error_function([](const char* /*message*/) {});
    name_ = "loopwren-test-" + std::to_string(::getpid()) + "-" + std::to_string(servers++);
    log_ = (std::filesystem::temp_directory_path() / (name_ + ".log")).string();
    args_ = {"jackd", "-n", name_, options.realtime ? "-R" : "--no-realtime"};
    if (options.synchronous) {
      args_.emplace_back("-S");
    }
    args_.insert(args_.end(), {"-d", "dummy", "-r", std::to_string(options.rate), "-p",
                               std::to_string(options.period)});
    Start();
  }
  ~JackTestServer() {
    Stop();
    // JACK's table of servers keeps a killed server's entry until a server of the same
    // name comes and goes, and holds only eight: so one does.
    if (killed_) {
      Start();
      Stop();
    }
    std::error_code ignored;
    std::filesystem::remove(log_, ignored);
  }
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
  void Kill() { killed_ = End(SIGKILL) || killed_; }

private:
  void Start() {
    std::vector<char*> argv;
    for (std::string& a : args_) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // The dummy backend reports every late timer wake-up on its output; only the errors
    // are kept, to say why a server did not start.
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      ::dup2(::open("/dev/null", O_WRONLY), 1);
      ::dup2(::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      ::execvp("jackd", argv.data());
      ::_exit(127);
    }
    if (pid_ > 0) {
      WaitUntilUp();
    }
  }

  void WaitUntilUp() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        why_ = "jackd exited at once (status " + std::to_string(status) + "): " + LastError();
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

  // The last line jackd wrote on its error output.
  [[nodiscard]] std::string LastError() const {
    std::ifstream in(log_);
    std::string line;
    std::string last;
    while (std::getline(in, line)) {
      if (!line.empty()) {
        last = line;
      }
    }
    return last;
  }

  // Returns whether a server was running.
  bool End(int signal) {
    if (pid_ <= 0) {
      return false;
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
    return true;
  }

  std::string name_;
  std::string log_;
  std::vector<std::string> args_;
  pid_t pid_ = -1;
  bool up_ = false;
  bool killed_ = false;
  std::string why_ = "jackd could not be started";
};

} // namespace lw::test
