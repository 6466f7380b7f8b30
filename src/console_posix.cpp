#include "console_platform.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// A parent may hand over descriptors in non-blocking mode; their flags
// belong to it, so instead of changing them the program waits with poll
// whenever a call would block.

namespace {

bool wait_until(int fd, short event) {
  pollfd ready{fd, event, 0};
  while (poll(&ready, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Whether a call that failed may be made again: after a signal, or once a
// descriptor in non-blocking mode is ready. A failed wait is a failure.
bool may_retry(int fd, short event) {
  if (errno == EAGAIN || errno == EWOULDBLOCK) return wait_until(fd, event);
  return errno == EINTR;
}

// Goes on after a short write, and fails only on a real error.
bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n >= 0)
      data.remove_prefix(static_cast<std::size_t>(n));
    else if (!may_retry(fd, POLLOUT))
      return false;
  }
  return true;
}

}  // namespace

namespace platform {

std::ptrdiff_t read_input(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return n;
    if (!may_retry(STDIN_FILENO, POLLIN)) return -1;
  }
}

bool write_output(std::string_view data) { return write_all(STDOUT_FILENO, data); }

const char* error_reason() { return std::strerror(errno); }

void write_error(std::string_view message) { (void)write_all(STDERR_FILENO, message); }

bool output_is_console() { return isatty(STDOUT_FILENO) == 1; }

// No shell and no external program: the terminal gets the clearing sequence
// (the cursor home, then the screen erased) in the same stream as the texts.
bool clear_console() { return write_output("\x1b[H\x1b[2J"); }

}  // namespace platform
