# phase NAME COMMAND...: runs COMMAND and then prints, in one line, the wall time it took and the
# CPU time (user + system) of everything it started: "phase build: 212 s (cpu 398 s)". When
# KALDOR_PHASE_LOG names a file, the line is added to it as well, so that the test command can
# list every phase again at its end. Sourced by the other scripts.
phase() {
  local name=$1 start=$EPOCHREALTIME cpu_before line
  shift
  _phase_cpu_ms
  cpu_before=$_phase_cpu
  "$@"
  _phase_cpu_ms
  line="phase $name: $((($(_phase_us "$EPOCHREALTIME") - $(_phase_us "$start") + 500000) / 1000000)) s"
  line+=" (cpu $(((_phase_cpu - cpu_before + 500) / 1000)) s)"
  echo "$line"
  if [ -n "${KALDOR_PHASE_LOG:-}" ]; then
    echo "$line" >> "$KALDOR_PHASE_LOG"
  fi
}

# Sets _phase_cpu to the milliseconds of CPU, user + system, that this shell's finished children
# have used. It must run in this shell, not in a command substitution, whose subshell would count
# only its own children; so `times` writes to a file.
_phase_cpu_ms() {
  local file user sys
  file=$(mktemp)
  times > "$file"
  { read -r _ _; read -r user sys; } < "$file"
  rm -f "$file"
  _phase_cpu=$(($(_phase_ms "$user") + $(_phase_ms "$sys")))
}

# _phase_ms 1m2.345s: 62345.
_phase_ms() {
  local minutes=${1%%m*} seconds=${1#*m}
  seconds=${seconds%s}
  echo $(((10#$minutes * 60 + 10#${seconds%.*}) * 1000 + 10#${seconds#*.}))
}

# _phase_us 1733650000.123456 (an EPOCHREALTIME): the microseconds.
_phase_us() {
  echo $((10#${1%.*} * 1000000 + 10#${1#*.}))
}
