#!/bin/sh
# Installs 32-bit Wine where it can: the i386 architecture is added and
# wine32 installed. Its packages must match the amd64 ones version for
# version, which a mirror between syncs may not offer; then this says so in
# one line and the i686 library's test is left out. Never fails.
command -v dpkg >/dev/null 2>&1 || exit 0
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "wine32: not installed (as root: dpkg --add-architecture i386; apt-get update; apt-get install wine32:i386); the i686 library is not run"
  exit 0
fi
log=$(mktemp)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# The network steps have a time limit: a stalled mirror must not stall the
# run. The packages are fetched first, so a limit never interrupts dpkg.
install="apt-get install -y --no-install-recommends wine32:i386"
timeout 300 apt-get update >"$log" 2>&1
if timeout 600 $install --download-only >>"$log" 2>&1 &&
  DEBIAN_FRONTEND=noninteractive $install >>"$log" 2>&1; then
  echo "wine32: installed"
else
  # Usually its i386 packages are out of step with the amd64 ones; apt's
  # first error says what it was.
  echo "wine32: does not install here (apt: $(grep -E '^E:' "$log" | head -n 1 | cut -c4-100)); the i686 library is checked with objdump only"
fi
rm -f "$log"
exit 0
