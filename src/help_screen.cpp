#include "help_screen.hpp"

#include <array>
#include <string_view>

#include "console.hpp"

namespace {

// The body rows keep their trailing blanks: rows 1 to 8 all end at column 54.
constexpr std::array<std::string_view, 9> body = {
    "   -------------------------------------------------- ",
    "   Il programma cerca di indovinare il Quadrato Magico",
    "   creando una sestina giocabile che dara' poi a sua  ",
    "   volta la chiave numerica per poter guadagnare i 25 ",
    "   euro formando come chiave numerica la sestina che  ",
    "   viene generata dal programma stesso, considerando  ",
    "   che i quadrati magici 2x2 non esistono.            ",
    "   Viene creata una funzione a 3X3 per generare il QM.",
    "   la formula usata e' 15 diviso 3 o 5 per 3 variabile.\n",
};

constexpr bool rows_are_aligned() {
  for (std::size_t i = 0; i + 1 < body.size(); ++i)
    if (body[i].size() != 54) return false;
  return body.back().size() == 56;
}
static_assert(rows_are_aligned());

}  // namespace

void show_help_screen() {
  clear_screen();
  write_line("\n\n   Help TeKLO v.4.0\n");
  write_line("   Sistema di calcolo dal quadrato magico alla sestina.\n");
  for (std::string_view row : body) write_line(row);
  write_title_box("   ");
  write_text("\n");
}
