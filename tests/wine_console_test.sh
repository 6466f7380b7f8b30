#!/bin/sh
# teklo.exe on a console under Wine, shown by tmux as a person sees it: H
# leaves the help alone on the screen, Q the exit text, and no command
# interpreter is started for it (the tests' stand-in would leave a mark).
#   usage: wine_console_test.sh WORK_FOLDER WINE... TEKLO_EXE
set -eu
command -v tmux > /dev/null || { echo "wine_console_test needs tmux (apt-get install tmux)"; exit 1; }
rm -rf "$1" && mkdir -p "$1" && cd "$1"
shift
command=
for word in "$@"; do command="$command '$word'"; done
tmux="tmux -L teklo-$$"
trap '$tmux kill-server 2> /dev/null || true' EXIT
$tmux new-session -d -x 80 -y 50 "$command; sleep 60"

# The screens expected after start-up, H and Q, as the help session has
# them: the console must show those and nothing else, from its first line.
session=$(dirname "$0")/sessions/help.out
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
$tmux send-keys q Enter
screen exit.txt
if [ -e interpreter_started ]; then echo "teklo started a command interpreter"; exit 1; fi
