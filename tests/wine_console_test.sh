#!/bin/sh
# teklo.exe on a console under Wine, shown by tmux as a person sees it: H
# leaves the help alone on the screen, Q the exit text, and no command
# interpreter is started for it (the tests' stand-in would leave a mark).
#   usage: wine_console_test.sh TEKLO_EXE WORK_FOLDER
set -eu
command -v tmux > /dev/null || { echo "wine_console_test needs tmux (apt-get install tmux)"; exit 1; }
rm -rf "$2" && mkdir -p "$2" && cd "$2"
tmux="tmux -L teklo-$$"
trap '$tmux kill-server 2> /dev/null || true' EXIT
$tmux new-session -d -x 80 -y 50 "wine '$1'; sleep 60"

# Waits until the screen shows $1, then checks that its first line of
# text is $2.
screen() {
  for _ in $(seq 200); do
    $tmux capture-pane -p > screen.txt
    if grep -qF "$1" screen.txt; then
      [ "$(grep -m1 . screen.txt)" = "$2" ] && return 0
    fi
    sleep 0.1
  done
  echo "expected '$1' on a screen beginning with '$2':"; cat screen.txt; exit 1
}
screen 'S = TeKLO4' '**************************************************************************'
$tmux send-keys h Enter
screen 'Menu' '   Help TeKLO v.4.0'
$tmux send-keys q Enter
screen 'TeKLO v.4.0 - Quadrato Magico - ' 'Uscita Programma, terminato con successo.'
if [ -e interpreter_started ]; then echo "teklo started a command interpreter"; exit 1; fi
