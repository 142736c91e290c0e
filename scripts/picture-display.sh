# Sourced by the scripts that take the README's pictures: an X server and an openbox of their
# own, and a picture of a window as a PNG. Needs $scratch (a folder of the script's own) and the
# array pids, to which the processes started here are added for the script to end.

# Starts Xvfb on a free display and openbox on it; exports DISPLAY.
start_display() {
  mkfifo "$scratch/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
  pids+=($!)
  local number
  read -r -t 20 number <"$scratch/display"
  export DISPLAY=:$number
  openbox >/dev/null 2>&1 &
  pids+=($!)
}

# take_picture TITLE PNG [XWD_OPTION...]: once a window of that title shows, writes its picture.
take_picture() {
  local title=$1 png=$2
  shift 2
  for _ in $(seq 100); do
    xwd -silent "$@" -name "$title" -out "$scratch/picture.xwd" 2>/dev/null && break
    sleep 0.2
  done
  sleep 1 # let it finish drawing
  xwd -silent "$@" -name "$title" -out "$scratch/picture.xwd"
  mkdir -p "$(dirname "$png")"
  python3 scripts/xwd-to-png.py "$scratch/picture.xwd" "$png"
  echo "wrote $png"
}
