# ensure_packages PKG...: installs, with apt-get, those of the Debian packages that are missing
# (as root, or through sudo), all in one apt-get run. Sourced by the other scripts.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  # man-db indexes every manual page an install brings (lintian's alone are hundreds): minutes on
  # a fresh machine. This install leaves that to man-db's daily job, which rebuilds the index
  # anyway; a machine that kept the index up to date at each install does so again afterwards.
  local flag=/var/lib/man-db/auto-update man_db_updates=0
  if [ -e "$flag" ] || ! dpkg-query -W -f='${Status}' man-db 2>/dev/null | grep -q "ok installed"; then
    man_db_updates=1
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  echo "man-db man-db/auto-update boolean false" | "${sudo_cmd[@]}" debconf-set-selections
  "${sudo_cmd[@]}" rm -f "$flag"
  # dpkg syncs every file it unpacks, and Qt's headers are thousands of files; an install that a
  # power cut interrupts is simply run again.
  local status=0
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    -o Dpkg::Options::=--force-unsafe-io "${missing[@]}" || status=$?
  if [ "$man_db_updates" = 1 ]; then
    echo "man-db man-db/auto-update boolean true" | "${sudo_cmd[@]}" debconf-set-selections
    if [ -d "${flag%/*}" ]; then
      "${sudo_cmd[@]}" touch "$flag"
    fi
  fi
  return "$status"
}
