#!/usr/bin/env bash
# Installs, with apt, whichever of the named Debian packages are missing.
# i386 packages (name:i386) switch on the i386 architecture first.
set -euo pipefail
missing=()
for pkg in "$@"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}. Run as root, or install them first." >&2
  exit 1
fi
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
install() { DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"; }
# A mirror caught mid-sync can fail one list (the security updates for i386, say) while
# the others arrive. The packages of both architectures must then come from the one
# release whose lists are whole, or wine32's i386 libraries miss their amd64 twins.
if ! apt-get update -q; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "apt-get update missed a list: installing from $codename itself if need be" >&2
  install "${missing[@]}" || install -t "$codename" "${missing[@]}"
  exit
fi
install "${missing[@]}"
