// teklo driven live, the way a script through pipes or a person at a
// terminal drives it.

#include <fcntl.h>
#include <poll.h>
#if __has_include(<pty.h>)
#include <pty.h>  // forkpty: Linux
#elif __has_include(<util.h>)
#include <util.h>  // macOS and the BSDs
#else
#include <libutil.h>  // FreeBSD
#endif
#include <signal.h>
#if __has_include(<sys/prctl.h>)
#include <sys/prctl.h>  // PR_SET_PDEATHSIG: Linux
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include <gtest/gtest.h>

namespace {

using std::chrono::steady_clock;

const pid_t test_process = getpid();

// Far more than any session writes. A teklo that writes without end must
// fill neither the disk nor the test's memory.
constexpr std::size_t output_limit = std::size_t{4} << 20;

// Replaces the process with teklo: through the emulator, where the tests
// run under one, since the emulated process cannot start the target's
// programs by itself.
[[noreturn]] void exec_teklo() {
  // A test that is stopped, at its time limit or otherwise, must not leave
  // a teklo behind: it dies with the test (the request outlives exec, so it
  // holds for the emulator too).
#ifdef PR_SET_PDEATHSIG
  prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
  if (getppid() != test_process) _exit(127);  // The test died before the request.
  const rlimit file_size{output_limit, output_limit};
  setrlimit(RLIMIT_FSIZE, &file_size);
  static const char* const command[] = {TEKLO_COMMAND, nullptr};
  execvp(command[0], const_cast<char* const*>(command));
  _exit(127);
}

struct session {
  pid_t pid;
  int to_child;
  int from_child;  // the same descriptor as `to_child` under a terminal
  std::string output;
  // The end of the keys' pipe that teklo reads, kept open here too, as a
  // parent sharing the pipe would; while it is, writing keys never raises
  // SIGPIPE in the test.
  int child_input = -1;
  // The end of the output's pipe that teklo writes, kept open only by a
  // test that looks at its flags: while it is, the output never ends.
  int child_output = -1;

  // Collects output until `text` appears; false on the end of output,
  // after ten seconds, or past the limit.
  bool wait_for(std::string_view text) {
    const auto deadline = steady_clock::now() + std::chrono::seconds(10);
    while (output.find(text) == std::string::npos) {
      if (!read_more(deadline)) return false;
    }
    return true;
  }

  bool read_more(steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - steady_clock::now());
    pollfd ready{from_child, POLLIN, 0};
    if (left.count() <= 0 || output.size() > output_limit ||
        poll(&ready, 1, static_cast<int>(left.count())) <= 0)
      return false;
    char buffer[4096];
    const ssize_t n = read(from_child, buffer, sizeof buffer);
    if (n <= 0) return false;  // end of output, or EIO from a terminal whose program has gone
    output.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  void send(std::string_view keys) {
    ASSERT_EQ(write(to_child, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  // Reads the rest of the output and returns the exit status, or -1 if the
  // program did not end by itself.
  int finish() {
    if (child_output >= 0) close(child_output);
    const auto deadline = steady_clock::now() + std::chrono::seconds(10);
    while (read_more(deadline)) {
    }
    const bool hung = steady_clock::now() >= deadline || output.size() > output_limit;
    if (hung) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(to_child);
    if (from_child != to_child) close(from_child);
    if (child_input >= 0) close(child_input);
    return !hung && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

// `status_flags` go to both pipes, at both ends.
session start_with_pipes(int status_flags = 0, bool keep_output_end = false) {
  int keys[2], texts[2];
  if (pipe(keys) != 0 || pipe(texts) != 0) ADD_FAILURE() << "pipe";
  for (int fd : {keys[0], keys[1], texts[0], texts[1]})
    if (fcntl(fd, F_SETFL, status_flags) != 0) ADD_FAILURE() << "fcntl";
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(keys[0], STDIN_FILENO);
    dup2(texts[1], STDOUT_FILENO);
    // With a standard stream closed, pipe() may have handed out its number.
    for (int fd : {keys[0], keys[1], texts[0], texts[1]})
      if (fd > STDERR_FILENO) close(fd);
    exec_teklo();
  }
  if (!keep_output_end) close(texts[1]);
  return {pid, keys[1], texts[0], {}, keys[0], keep_output_end ? texts[1] : -1};
}

// With `keys_piped` only the output goes to the terminal.
session start_on_terminal(bool keys_piped) {
  int keys[2] = {-1, -1};
  if (keys_piped && pipe(keys) != 0) ADD_FAILURE() << "pipe";
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (keys_piped) dup2(keys[0], STDIN_FILENO);
    for (int fd : keys)
      if (fd > STDERR_FILENO) close(fd);
    exec_teklo();
  }
  if (keys_piped) close(keys[0]);
  return {pid, keys_piped ? keys[1] : terminal, terminal, {}};
}

// A file of the test's own, unlinked at once: it goes with its last
// descriptor, however the test ends.
int scratch_file() {
  char path[] = "/tmp/teklo_XXXXXX";
  const int file = mkstemp(path);
  if (file >= 0) unlink(path);
  return file;
}

std::string read_all(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string session_file(std::string_view name) {
  return std::string(SESSIONS_DIR "/") + std::string(name);
}

// Where the program's standard output goes: a pipe whose reader has gone
// with SIGPIPE's default action, or ignored.
enum class sink { file, full_disk, closed, reader_gone, reader_gone_ignored };

struct outcome {
  int status;  // as a shell gives it: 128 and the number of a signal that ended it
  std::string output;  // what reached the file, for sink::file
  std::string error;
  long peak_kb;  // the most memory it held
};

// Makes an Italian locale of the test's own in LOCALE_DIR, from Debian's
// sources, so that no test depends on the locales a machine has.
bool make_italian_locale() {
  mkdir(LOCALE_DIR, 0755);
  return std::system("localedef -i it_IT -f UTF-8 " LOCALE_DIR "/it_IT.UTF-8"
                     " > /dev/null 2>&1") == 0;
}

// A number of 100 MB digits to calculate with, in a scratch file.
int huge_number() {
  const int file = scratch_file();
  const std::string digits(std::size_t{1} << 20, '9');
  bool written = write(file, "s\n", 2) == 2;
  for (int i = 0; i < 100; ++i)
    written = written && write(file, digits.data(), digits.size()) ==
                             static_cast<ssize_t>(digits.size());
  if (!written || write(file, " 1 2 3\nq\n", 9) != 9) ADD_FAILURE() << "scratch file";
  lseek(file, 0, SEEK_SET);
  return file;
}

// Runs teklo to its end on `input` and collects what it says; with
// `italian`, under the locale make_italian_locale() made.
outcome run(int input, sink output, bool italian = false) {
  const int file = scratch_file();
  int error[2], gone[2];
  if (file < 0 || pipe(error) != 0 || pipe(gone) != 0) ADD_FAILURE() << "set-up";
  close(gone[0]);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(input, STDIN_FILENO);
    dup2(error[1], STDERR_FILENO);
    switch (output) {
      case sink::file: dup2(file, STDOUT_FILENO); break;
      case sink::full_disk: dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO); break;
      case sink::closed: close(STDOUT_FILENO); break;
      case sink::reader_gone:
      case sink::reader_gone_ignored: dup2(gone[1], STDOUT_FILENO); break;
    }
    // Set in this child alone. A parent that ignores SIGPIPE leaves it so:
    // the write fails instead.
    signal(SIGPIPE, output == sink::reader_gone_ignored ? SIG_IGN : SIG_DFL);
    if (italian) {
      setenv("LOCPATH", LOCALE_DIR, 1);
      setenv("LC_ALL", "it_IT.UTF-8", 1);
    }
    exec_teklo();
  }
  close(error[1]);
  close(gone[1]);
  outcome result{-1, {}, read_all(error[0]), 0};
  close(error[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.status = 128 + WTERMSIG(status);
  result.peak_kb = usage.ru_maxrss;  // kB on Linux
  lseek(file, 0, SEEK_SET);
  result.output = read_all(file);
  close(file);
  return result;
}

// No failure may pass for success: whatever stops the program from
// reading all its input or writing all its output ends it with status 1
// and says why, in the C library's English whatever the locale; a reader
// that goes ends it by SIGPIPE, as any filter. Output already written
// stays. Input of any length takes the same memory.
TEST(Runs, EndWithTheirStatusAndReason) {
  struct run_case {
    const char* input;  // a session's keys, a path, or "" for a number of 100 MB digits
    sink output;
    int status;
    const char* error;
    const char* expected_output = nullptr;  // session whose .out the output must match
    bool italian = false;
  } const cases[] = {
      {"calculation.in", sink::file, 0, "", "calculation.out"},
      {"calculation.in", sink::full_disk, 1,
       "teklo: impossibile scrivere l'output: No space left on device\n"},
      {"calculation.in", sink::full_disk, 1,
       "teklo: impossibile scrivere l'output: No space left on device\n", nullptr, true},
      {"calculation.in", sink::closed, 1,
       "teklo: impossibile scrivere l'output: Bad file descriptor\n"},
      {"calculation.in", sink::reader_gone, 128 + SIGPIPE, ""},
      {"calculation.in", sink::reader_gone_ignored, 1,
       "teklo: impossibile scrivere l'output: Broken pipe\n"},
      // The start-up screen, written before the read, is not lost.
      {"/", sink::file, 1, "teklo: impossibile leggere l'input: Is a directory\n", "empty.out"},
      {"", sink::file, 0, ""},
  };
  ASSERT_TRUE(make_italian_locale())
      << "localedef could not make it_IT.UTF-8: apt-get install locales";
  long cases_peak_kb = 0;
  for (const run_case& t : cases) {
    const std::string input = t.input[0] == '/' ? t.input : session_file(t.input);
    SCOPED_TRACE(testing::Message() << (*t.input ? input : "100 MB of digits") << ", output "
                                    << static_cast<int>(t.output) << (t.italian ? ", it_IT" : ""));
    const int file = *t.input ? open(input.c_str(), O_RDONLY) : huge_number();
    const outcome result = run(file, t.output, t.italian);
    close(file);
    EXPECT_EQ(result.status, t.status);
    EXPECT_EQ(result.error, t.error);
    // A number of 100 MB digits takes the memory of a calculation, give or
    // take a few pages: no more than 16 MB over the first case's.
    if (!*t.input) {
      EXPECT_LT(result.peak_kb, cases_peak_kb + 16 * 1024);
    }
    if (&t == cases) cases_peak_kb = result.peak_kb;
    if (t.expected_output) {
      EXPECT_EQ(result.output, read_file(session_file(t.expected_output)));
    }
  }
}

// Some runtimes leave their pipes in non-blocking mode. A slow partner on
// such pipes must still get every byte.
TEST(Pipes, NonBlockingPipesLoseNothing) {
  std::string keys;
  for (int i = 0; i < 2000; ++i) keys += "s\n56 63 76 84\n";
  keys += "q\n";
  const int file = scratch_file();
  ASSERT_EQ(write(file, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  lseek(file, 0, SEEK_SET);
  const std::string expected = run(file, sink::file).output;
  close(file);

  // Bursts of keys far apart, and output read a little at a time: teklo
  // must wait both for its input and for room in its output. A burst is
  // no whole number of calculations, so numbers are split between reads.
  session s = start_with_pipes(O_NONBLOCK, true);
  std::string_view unsent = keys;
  const auto deadline = steady_clock::now() + std::chrono::seconds(10);
  for (int turn = 0;; ++turn) {
    if (turn % 30 == 0 && !unsent.empty()) {
      const ssize_t n = write(s.to_child, unsent.data(), std::min<std::size_t>(unsent.size(), 2803));
      if (n > 0) unsent.remove_prefix(static_cast<std::size_t>(n));
    }
    char buffer[4096];
    const ssize_t n = read(s.from_child, buffer, sizeof buffer);
    if (n > 0) s.output.append(buffer, static_cast<std::size_t>(n));
    ASSERT_LT(steady_clock::now(), deadline) << "teklo stopped after " << s.output.size() << " bytes";
    ASSERT_LE(s.output.size(), expected.size());
    if (s.output.size() == expected.size()) break;
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  // The descriptors' flags are the parent's too: teklo waits, never changes them.
  for (const auto& [end, name] : {std::pair{s.child_input, "input"}, {s.child_output, "output"}})
    EXPECT_EQ(fcntl(end, F_GETFL) & O_NONBLOCK, O_NONBLOCK) << "teklo changed its " << name << "'s flags";
  EXPECT_EQ(s.finish(), 0);
  EXPECT_EQ(s.output.size(), expected.size());
  EXPECT_TRUE(s.output == expected);
}

TEST(Pipes, EveryPromptArrivesBeforeTheProgramWaits) {
  session s = start_with_pipes();
  ASSERT_TRUE(s.wait_for("   S = TeKLO4  H = Help  Q = Uscita \n"));
  s.send("s\n");
  ASSERT_TRUE(s.wait_for(" 56 63 76 84 e quindi premere il tasto Invio.\n\n"));
  s.send("56 63 76 84\n");
  ASSERT_TRUE(s.wait_for("Quarta sestina giocabile da un(1) Euro : 56 63 76 84 71 28\n\n"
                         "\nMenu' S,H,Q inserire una lettera e premere Invio.\n"));
  s.send("q\n");
  EXPECT_EQ(s.finish(), 0);
  EXPECT_TRUE(s.output.ends_with("Uscita Programma, terminato con successo.\n\n"
                                 "TeKLO v.4.0 - Quadrato Magico - "
                                 "Laboratorio Sestine Libere, anno 2026\n\n"));
  EXPECT_EQ(s.output.find('\x1b'), std::string::npos) << "a pipe gets only the texts";
}

// On a terminal: keys as a person types them (the terminal echoes them
// and sends each line, or what Ctrl+D ends, as one read).
TEST(Terminal, ClearsInOrderAndEndsWhenTheInputEnds) {
  struct terminal_case {
    const char* keys;
    const char* expected;  // in the output, with the terminal's CR LF as LF
    bool keys_piped = false;
  } const cases[] = {
      {"q\n", "\x1b[H\x1b[2J\n\n\n****"},
      {"q\n", "\x1b[H\x1b[2J\n\nUscita Programma, terminato con successo.\n"},
      {"h\nq\n", "\x1b[H\x1b[2J\n\n   Help TeKLO v.4.0\n"},
      // The screen is the output's: keys from a pipe do not stop its clearing.
      {"q\n", "\x1b[H\x1b[2J\n\n\n****", true},
      // Ctrl+D hands over "56"; the second, on an empty line, ends the
      // input for good: the missing numbers are 0 and the program ends.
      {"s\n56\x04\x04", "Prima sestina giocabile da un(1) Euro : 56 0 0 0 71 3\n"},
  };
  for (const terminal_case& t : cases) {
    SCOPED_TRACE(t.keys);
    session s = start_on_terminal(t.keys_piped);
    ASSERT_GT(s.pid, 0) << "no pseudo-terminal: " << std::strerror(errno);
    ASSERT_TRUE(s.wait_for("   S = TeKLO4  H = Help  Q = Uscita \r\n"));
    s.send(t.keys);
    EXPECT_EQ(s.finish(), 0);
    std::string output;
    for (char c : s.output)
      if (c != '\r') output += c;
    EXPECT_NE(output.find(t.expected), std::string::npos) << output;
  }
}

}  // namespace
