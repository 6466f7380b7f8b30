// Runs the program it is given on this console, then writes what the
// console holds to files in the current folder, for a test to compare: its
// output mode before and after the program (console_mode.txt) and the
// characters in its window's cells (console_cells.txt), which a terminal
// showing the console may not show as they are.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

bool write_cells(HANDLE console, std::FILE* file) {
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (GetConsoleScreenBufferInfo(console, &screen) == 0) return false;
  std::string row(static_cast<std::size_t>(screen.srWindow.Right - screen.srWindow.Left + 1), ' ');
  for (SHORT y = screen.srWindow.Top; y <= screen.srWindow.Bottom; ++y) {
    DWORD read = 0;
    if (ReadConsoleOutputCharacterA(console, row.data(), static_cast<DWORD>(row.size()),
                                    COORD{screen.srWindow.Left, y}, &read) == 0)
      return false;
    std::fprintf(file, "%.*s\n", static_cast<int>(read), row.data());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD before = 0, after = 0;
  std::string command = std::string("\"") + argv[1] + "\"";
  STARTUPINFOA start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION process{};
  if (GetConsoleMode(console, &before) == 0 ||
      CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process) == 0)
    return 2;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 2;
  if (GetExitCodeProcess(process.hProcess, &status) == 0 || GetConsoleMode(console, &after) == 0) return 2;
  std::FILE* cells = std::fopen("console_cells.txt", "wb");
  if (cells == nullptr || !write_cells(console, cells)) return 2;
  std::fclose(cells);
  std::FILE* mode = std::fopen("console_mode.txt", "wb");
  if (mode == nullptr) return 2;
  std::fprintf(mode, "%#lx %#lx\n", before, after);
  std::fclose(mode);
  return static_cast<int>(status);
}
