# Sourced by the scripts that run a window where there may be no display.
#
#   start_virtual_display FOLDER
#
# starts Xvfb on a display of its own, adds its pid to the caller's pids
# array (which the caller's clean-up kills), and exports DISPLAY. The
# server's messages go to FOLDER/xvfb.log; on failure they are printed and
# the function returns 1.
#
# Other X servers on the machine may keep their lock files out of our sight
# (another mount namespace), so the numbers tried are high, start at a point
# of this run's own, and a server that cannot take its number exits and the
# next one is tried. Xvfb writes the number to fd 3 once it accepts clients.
start_virtual_display() {
  local folder=$1 first=$((200 + $$ % 500)) n pid
  for n in $(seq "$first" $((first + 9))); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    : >"$folder/display"
    Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$folder/display" >"$folder/xvfb.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      if [ -s "$folder/display" ]; then
        pids+=("$pid")
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "no virtual display on :$first..:$((first + 9)); the last Xvfb said:" >&2
  cat "$folder/xvfb.log" >&2
  return 1
}
