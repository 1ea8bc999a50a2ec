#!/usr/bin/env bash
# labyrinth-writer started with standard input, output or error closed, in
# all seven ways, on a display of its own: the image never takes the place of
# a closed stream (the seed line, or the display's connection, would land in
# it), the write holds a whole new labyrinth, and the seed line is told on a
# stream that is open. Started with standard output or error opened on the
# image or the text file, it refuses at start-up and neither file changes.
#   closed-streams.sh LABYRINTH_WRITER LABYRINTH_CLI
set -u
writer=$1
cli=$2
tmp=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and tells it.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$tmp/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# A blank synthetic image and a text file; nothing of the real game.
cd "$tmp" || exit 1
{ printf 'NES\032'; head -c 88066 /dev/zero; } > original.nes
for _ in $(seq 446); do printf 'T'; done > tgltext.tgl

# Answers the prompt with "game", then presses the first button of the
# window that shows after it (the main window's, or a message box's): Tab
# leads from the focus to it, Space presses it. Each window is found by its
# title, once it shows.
answer_and_press() {
  local prompt shown=
  prompt=$(timeout 10 xdotool search --sync --onlyvisible --name 'Vrelmak - Dunmere' | head -n 1)
  # The dialog takes keys a moment after it shows; with no window manager
  # the keys go to whatever has the focus, which is the dialog's field.
  sleep 0.2
  [ -n "$prompt" ] && timeout 10 xdotool type --delay 20 game && timeout 10 xdotool key Return
  for _ in $(seq 100); do
    shown=$(xdotool search --onlyvisible --name 'Vrelmak - Dunmere' | grep -v -x "$prompt" | head -n 1)
    [ -n "$shown" ] && break
    sleep 0.05
  done
  [ -n "$shown" ] && timeout 10 xdotool windowfocus --sync "$shown" key Tab space
}

failures=0
fail() {
  echo "FAIL ($1): $2"
  failures=$((failures + 1))
}

for closed in 1 2 3 4 5 6 7; do
  redirect=""
  [ $((closed & 1)) -ne 0 ] && redirect+=" <&-"
  if [ $((closed & 2)) -ne 0 ]; then redirect+=" >&-"; else redirect+=" >out"; fi
  if [ $((closed & 4)) -ne 0 ]; then redirect+=" 2>&-"; else redirect+=" 2>err"; fi
  cp original.nes game.nes
  rm -f out err
  eval "\"\$writer\" $redirect &"
  pid=$!
  # The focus starts on the link list: the button pressed is Write to TGL.
  answer_and_press
  for _ in $(seq 100); do cmp -s game.nes original.nes || break; sleep 0.05; done
  sleep 0.3
  # A window that no longer answers (its connection broken by a line printed
  # into it) is ended all the same, and counts as a failure.
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    fail "$redirect" "the window did not close on SIGTERM"
  fi
  wait "$pid" 2>/dev/null

  cmp -s -n 84606 game.nes original.nes || fail "$redirect" "bytes before the labyrinth changed"
  [ "$(stat -c %s game.nes)" = 88070 ] || fail "$redirect" "the image changed its size"
  "$cli" verify game.nes >/dev/null || fail "$redirect" "the image holds no whole labyrinth"
  if [ $((closed & 2)) -eq 0 ]; then
    grep -q '^Seed: [0-9]*  Code: ' out || fail "$redirect" "no seed line on standard output"
  elif [ $((closed & 4)) -eq 0 ]; then
    grep -q '^Seed: [0-9]*  Code: ' err || fail "$redirect" "no seed line on standard error"
  fi
done
cp tgltext.tgl text.orig
for redirect in "1<>game.nes" ">>game.nes" "2>>game.nes" ">>tgltext.tgl"; do
  cp original.nes game.nes
  cp text.orig tgltext.tgl
  case $redirect in 2*) eval "\"\$writer\" $redirect >/dev/null &" ;; *) eval "\"\$writer\" $redirect 2>/dev/null &" ;; esac
  pid=$!
  # The refusal shows in a message box, whose button this presses; a window
  # that took the stream would get a click instead.
  answer_and_press
  for _ in $(seq 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  status=$?
  [ "$status" = 1 ] || fail "$redirect" "ended with status $status, not 1"
  cmp -s game.nes original.nes || fail "$redirect" "the image changed"
  cmp -s tgltext.tgl text.orig || fail "$redirect" "the text file changed"
done
echo "$((11 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
