// teklo: turns the four numbers of a magic square into lottery sestine.
// It shows a title and a menu, then obeys one key at a time until Q or the
// end of input.

#include <cstdio>

#include "console.hpp"
#include "help_screen.hpp"
#include "sestina.hpp"

namespace {

void show_start_screen() {
  clear_screen();
  write_text("\n\n\n");
  write_title_box("");
  write_text("\n");
  write_line("Seleziona la funzione che vuoi usare, premi CTRL + c per terminare.\n");
  write_line(" Premi il tasto desiderato e conferma la scelta con INVIO");
  write_line("   S = TeKLO4  H = Help  Q = Uscita ");
}

void show_exit_text() {
  clear_screen();
  write_text("\n\nUscita Programma, terminato con successo.\n\n");
  write_text(program_title);
  write_text(credit_text);
  write_text("\n\n");
}

// One key, one action. Returns on Q and at the end of input; whatever
// follows the Q stays unread.
void run_menu() {
  for (;;) {
    switch (read_key()) {
      case EOF:
        return;
      case 'S':
      case 's':
        run_sestina_calculation();
        break;
      case 'H':
      case 'h':
        show_help_screen();
        break;
      case 'Q':
      case 'q':
        show_exit_text();
        return;
      case '\n':
      case ' ':
        write_line("\nMenu' S,H,Q inserire una lettera e premere Invio.");
        break;
      default:
        write_line("Devi selezionare una funzione, premi 'S,H,Q' oppure CTRL + c per terminare.\n");
        break;
    }
  }
}

}  // namespace

int main() {
  show_start_screen();
  run_menu();
  flush_output();
  return 0;
}
