# Sourced: starts Xvfb on a free display for this shell and its children (DISPLAY), and stops it
# when the shell exits.
korvex_display=90
while [ -e "/tmp/.X11-unix/X$korvex_display" ] || [ -e "/tmp/.X$korvex_display-lock" ]; do
  korvex_display=$((korvex_display + 1))
done
Xvfb ":$korvex_display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
korvex_xvfb=$!
trap 'kill $korvex_xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$korvex_display" ] && break
  sleep 0.1
done
export DISPLAY=":$korvex_display"
