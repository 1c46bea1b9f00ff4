#!/usr/bin/env bash
# Lets the kernel start 32-bit PowerPC programs through qemu-ppc (binfmt_misc), so that a test program under
# emulation can itself start another target program (a test that runs korvadel, a script that runs a
# helper). CTest starts the test programs through the emulator directly; only their children need this.
# The started emulator finds the target's dynamic loader through QEMU_LD_PREFIX, which port-test.sh and the
# ppc32 toolchain's emulator command set. Registers nothing when an entry for PowerPC is already enabled.
# Usage: scripts/cross/binfmt.sh        (root; needs binfmt_misc in the kernel)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

DIR=/proc/sys/fs/binfmt_misc
NAME=xlsx-port-ppc
QEMU=/usr/bin/qemu-ppc

[ -x "$QEMU" ] || port_die "$QEMU missing: run scripts/cross/install-packages.sh ppc32"
if [ ! -e "$DIR/register" ]; then
  [ -d "$DIR" ] || { port_log "no binfmt_misc in this kernel: target programs cannot start other target programs"; exit 1; }
  mount -t binfmt_misc binfmt_misc "$DIR" 2>/dev/null ||
    { port_log "cannot mount binfmt_misc: target programs cannot start other target programs"; exit 1; }
fi
for entry in "$DIR"/*; do
  case "$(basename "$entry")" in register | status) continue ;; esac
  if grep -q '^enabled' "$entry" 2>/dev/null && grep -q "^interpreter .*qemu-ppc\(-static\)\?$" "$entry" 2>/dev/null; then
    port_log "PowerPC programs already start through $(sed -n 's/^interpreter //p' "$entry")"
    exit 0
  fi
done
# 32-bit (class 1), big-endian (data 2) ELF for machine 20 (PowerPC), executables and position-independent
# executables alike (type 2 or 3: the mask clears the low bit). The kernel decodes the \x escapes itself.
echo ":$NAME:M::"'\x7fELF\x01\x02\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x14:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff'":$QEMU:" \
  >"$DIR/register" || { port_log "binfmt registration refused"; exit 1; }
port_log "PowerPC programs now start through $QEMU ($DIR/$NAME)"
