// Stands in for the Windows command interpreter in the tests: each start
// leaves a file in the current folder, so a test can tell whether the
// program started an interpreter at all.
#include <cstdio>

int main() {
  if (std::FILE* mark = std::fopen("interpreter_started", "a")) std::fclose(mark);
  return 0;
}
