#!/bin/sh
# The README's screenshots of the look: the program under Qt's Fusion style, under the GTK
# platform theme with Adwaita in dark mode, and at a scale factor of 2 on a 1024 x 720 screen,
# each after a few moves. Each runs on an Xvfb display of its own; the pictures go to docs/.
# Needs Xvfb, xdotool, x11-utils (xwd, xwininfo), netpbm and qt6-gtk-platformtheme.
#   sh scripts/screenshots.sh [path/to/quillet]
set -u
Q=$(realpath "${1:-build/quillet}")
OUT=$(dirname "$0")/../docs
TITLE="Quillet 1.4"

# Waits up to $1 tenths of a second for the command after it to succeed.
within() {
  tenths=$1; shift
  while ! "$@" >/dev/null 2>&1; do
    tenths=$((tenths - 1)); [ "$tenths" -gt 0 ] || return 1; sleep 0.1
  done
}

# shot DISPLAY FILE SCALE ENV...: starts the program with ENV, plays X at (8, 8), O at (9, 8),
# X at (8, 9), and saves the window's content. A click lands 5 pixels below a cell's centre at
# the reference font (MENU_EXTRA), so that a taller menu bar still leaves it in that cell.
shot() {
  display=$1 file=$2 scale=$3; shift 3
  Xvfb "$display" -noreset -screen 0 1024x720x24 >/dev/null 2>&1 & server=$!
  within 100 env DISPLAY="$display" xwininfo -root || echo "Xvfb $display does not answer"
  env DISPLAY="$display" "$@" "$Q" & program=$!
  within 150 env DISPLAY="$display" xdotool search --name "$TITLE" || echo "no window on $display"
  window=$(DISPLAY="$display" xdotool search --name "$TITLE" | head -n 1)
  # The board's cells are 20 pixels from under the menu bar; xdotool counts device pixels.
  for cell in "8 8" "9 8" "8 9"; do
    set -- $cell
    x=$(( ($1 * 20 - 10) * scale )) y=$(( ($2 * 20 + 10 + ${MENU_EXTRA:-5}) * scale ))
    DISPLAY="$display" xdotool mousemove --window "$window" "$x" "$y" click 1
    sleep 0.3
  done
  sleep 1.2  # the newest mark's blink ends
  DISPLAY="$display" xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng > "$OUT/$file"
  kill "$program"; wait "$program"
  kill "$server"; wait "$server" 2>/dev/null
}

shot :71 look-fusion.png 1 QT_STYLE_OVERRIDE=Fusion
shot :72 look-gtk-dark.png 1 QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
shot :73 look-scale2.png 2 QT_STYLE_OVERRIDE=Fusion QT_SCALE_FACTOR=2
