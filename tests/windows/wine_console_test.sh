#!/bin/sh
# teklo.exe on a console under Wine, shown by tmux as a person sees it: H
# leaves the help alone on the screen and none of the rows before it in the
# terminal's history; Q leaves the exit text, in the console's own cells
# too, and status 0; the console's mode is as it was; and no command
# interpreter is started (the tests' stand-in would leave a mark).
#   usage: wine_console_test.sh WORK_FOLDER WINE... CONSOLE_STATE_EXE TEKLO_EXE
set -eu
command -v tmux > /dev/null || { echo "wine_console_test needs tmux (apt-get install tmux)"; exit 1; }
rm -rf "$1" && mkdir -p "$1" && cd "$1"
shift
command=
for word in "$@"; do command="$command '$word'"; done
tmux="tmux -L teklo-$$"
trap '$tmux kill-server 2> /dev/null || true' EXIT
$tmux new-session -d -x 80 -y 50 "seq 200; $command; echo \$? > status.txt; sleep 60"

# The screens expected after start-up, H and Q, as the help session has
# them: the console must show those and nothing else, from its first line.
session=$(dirname "$0")/../sessions/help.out
sed -n '1,/S = TeKLO4/p' "$session" > start.txt
sed -n '/S = TeKLO4/,/^Menu/p' "$session" | sed 1d > help.txt
tail -n 6 "$session" > exit.txt
# Lines without their trailing blanks, up to the last that holds text.
trimmed() { sed 's/ *$//' "$@" | awk '{ line[NR] = $0 } NF { last = NR } END { for (i = 1; i <= last; ++i) print line[i] }'; }
screen() {
  for _ in $(seq 200); do
    $tmux capture-pane -p | trimmed > screen.txt
    trimmed "$1" | cmp -s - screen.txt && return 0
    sleep 0.1
  done
  echo "expected the screen of $1:"; cat "$1"; echo "but the screen showed:"; cat screen.txt; exit 1
}
screen start.txt
$tmux send-keys h Enter
screen help.txt
if $tmux capture-pane -p -S - -E -1 | grep -qx '[0-9][0-9]*'; then
  echo "the rows before teklo are still in the terminal's history"; exit 1
fi
$tmux send-keys q Enter
screen exit.txt
for _ in $(seq 100); do [ -s status.txt ] && break; sleep 0.1; done
trimmed console_cells.txt > cells.txt
trimmed exit.txt | cmp -s - cells.txt || { echo "the console's cells hold:"; cat -v cells.txt; exit 1; }
read -r before after < console_mode.txt
[ "$before" = "$after" ] || { echo "the console's mode was $before and teklo left it $after"; exit 1; }
[ "$(cat status.txt)" = 0 ] || { echo "teklo ended with status $(cat status.txt)"; exit 1; }
if [ -e interpreter_started ]; then echo "teklo started a command interpreter"; exit 1; fi
