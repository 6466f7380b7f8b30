#include "sestina.hpp"

#include <string_view>

#include "console.hpp"

namespace {

void write_row(std::string_view label, const sestina& row) {
  write_text(label);
  write_number(row[0]);
  for (std::size_t i = 1; i < row.size(); ++i) {
    write_text(" ");
    write_number(row[i]);
  }
  write_text("\n\n");
}

}  // namespace

void run_sestina_calculation() {
  clear_screen();
  write_line("TEKLO v.4.0\n");
  write_line("Inserire i quattro numeri per il Quadrato Magico in questo modo:");
  write_line(" 56 63 76 84 e quindi premere il tasto Invio.\n");

  // Every calculation starts from zeros: a number the input does not supply
  // is 0, never a value from an earlier calculation.
  std::array<std::int32_t, 4> q{};
  for (std::int32_t& number : q)
    if (!read_number(number)) break;
  write_text("\n");

  const sestina_report report = derive_sestinas(q[0], q[1], q[2], q[3]);
  write_row("totale sestina: ", report.totals);
  write_row("sestina di ricalcolo: ", report.recalc);
  write_row("Prima sestina giocabile da un(1) Euro : ", report.playable[0]);
  write_row("Seconda sestina giocabile da un(1) Euro : ", report.playable[1]);
  write_row("Terza sestina giocabile da un(1) Euro : ", report.playable[2]);
  write_row("Quarta sestina giocabile da un(1) Euro : ", report.playable[3]);
}
