// teklo driven live, the way a script through pipes or a person at a
// terminal drives it.

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace {

using std::chrono::steady_clock;

struct session {
  pid_t pid;
  int to_child;
  int from_child;  // the same descriptor as `to_child` under a terminal
  std::string output;

  // Collects output until `text` appears; false on the end of output or
  // after ten seconds.
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
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
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
    const auto deadline = steady_clock::now() + std::chrono::seconds(10);
    while (read_more(deadline)) {
    }
    const bool hung = steady_clock::now() >= deadline;
    if (hung) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(to_child);
    if (from_child != to_child) close(from_child);
    return !hung && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

session start_with_pipes() {
  int keys[2], texts[2];
  if (pipe(keys) != 0 || pipe(texts) != 0) ADD_FAILURE() << "pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(keys[0], STDIN_FILENO);
    dup2(texts[1], STDOUT_FILENO);
    // With a standard stream closed, pipe() may have handed out its number.
    for (int fd : {keys[0], keys[1], texts[0], texts[1]})
      if (fd > STDERR_FILENO) close(fd);
    execl(TEKLO_PATH, "teklo", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(keys[0]);
  close(texts[1]);
  return {pid, keys[1], texts[0], {}};
}

session start_on_terminal() {
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    execl(TEKLO_PATH, "teklo", static_cast<char*>(nullptr));
    _exit(127);
  }
  return {pid, terminal, terminal, {}};
}

constexpr std::string_view clear = "\x1b[H\x1b[2J";

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

TEST(Terminal, ScreenIsClearedAtStartAndBeforeTheExitText) {
  session s = start_on_terminal();
  // The terminal writes each line feed as CR LF.
  ASSERT_TRUE(s.wait_for("   S = TeKLO4  H = Help  Q = Uscita \r\n"));
  s.send("q\n");
  EXPECT_EQ(s.finish(), 0);
  EXPECT_TRUE(s.output.starts_with(std::string(clear) + "\r\n\r\n\r\n****")) << s.output;
  const std::size_t last = s.output.rfind(clear);
  ASSERT_NE(last, 0u) << s.output;
  EXPECT_EQ(s.output.substr(last + clear.size(), 45),
            "\r\n\r\nUscita Programma, terminato con successo.");
}

}  // namespace
