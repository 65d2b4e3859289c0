# A virtual X server for one run. The server picks a free display itself, so that runs started at
# once never take the same one, and its end is waited for, so that the next run never meets it
# still closing down.
# Sourced by bash scripts:
#   start_virtual_display <width>x<height>x<depth>   exports DISPLAY
#   stop_virtual_display
start_virtual_display() {
  virtual_display_folder=$(mktemp -d)
  mkfifo "$virtual_display_folder/display"
  # Nothing of the server holds the caller's output or its locks (descriptor 9) open.
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$virtual_display_folder/display" \
    </dev/null >/dev/null 2>"$virtual_display_folder/xvfb.log" 9>&- &
  virtual_display_pid=$!
  local number
  if ! read -r number <"$virtual_display_folder/display"; then
    echo "the virtual X server did not start:" >&2
    cat "$virtual_display_folder/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=:$number
}

stop_virtual_display() {
  if [ -n "${virtual_display_pid:-}" ]; then
    kill "$virtual_display_pid" 2>/dev/null || true
    wait "$virtual_display_pid" 2>/dev/null || true
    virtual_display_pid=
  fi
  rm -rf "${virtual_display_folder:-}"
}
