#!/usr/bin/env bash
# Lets the kernel start a target's programs through qemu-user (binfmt_misc), so that a test program under
# emulation can itself start another target program (a test that runs korvadel, a script that runs a
# helper). CTest starts the test programs through the emulator directly; only their children need this.
#   ppc32  32-bit big-endian PowerPC through qemu-ppc (always needed: no x86 kernel runs them)
#   i386   32-bit x86 through qemu-i386, for a kernel that cannot run them itself (port-test.sh registers
#          it only then: on a capable kernel the programs run natively)
# The emulator finds the target's dynamic loader through QEMU_LD_PREFIX (PowerPC; port-test.sh and the
# toolchain set it) or through the absolute loader path the i386 programs are linked with. Registers
# nothing when an enabled entry for the target's emulator is already there.
# Usage: scripts/cross/binfmt.sh ppc32|i386    (root; needs binfmt_misc in the kernel)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

DIR=/proc/sys/fs/binfmt_misc
TARGET=${1:-ppc32}
# ELF identification of the target's executables and position-independent executables (type 2 or 3: the
# mask clears the low bit of the type). The kernel decodes the \x escapes itself.
case "$TARGET" in
  ppc32)  # 32-bit (class 1), big-endian (data 2), machine 20 (PowerPC)
    QEMU=/usr/bin/qemu-ppc NAME=xlsx-port-ppc
    MAGIC='\x7fELF\x01\x02\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x14'
    MASK='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff' ;;
  i386)  # 32-bit (class 1), little-endian (data 1), machine 3 (x86)
    QEMU=/usr/bin/qemu-i386 NAME=xlsx-port-i386
    MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    MASK='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' ;;
  *) port_die "usage: $0 ppc32|i386" ;;
esac
EMULATOR=$(basename "$QEMU")

[ -x "$QEMU" ] || port_die "$QEMU missing: run scripts/cross/install-packages.sh $TARGET"
if [ ! -e "$DIR/register" ]; then
  [ -d "$DIR" ] || { port_log "no binfmt_misc in this kernel: target programs cannot start other target programs"; exit 1; }
  mount -t binfmt_misc binfmt_misc "$DIR" 2>/dev/null ||
    { port_log "cannot mount binfmt_misc: target programs cannot start other target programs"; exit 1; }
fi
for entry in "$DIR"/*; do
  case "$(basename "$entry")" in register | status) continue ;; esac
  if grep -q '^enabled' "$entry" 2>/dev/null && grep -q "^interpreter .*$EMULATOR\(-static\)\?$" "$entry" 2>/dev/null; then
    port_log "$TARGET programs already start through $(sed -n 's/^interpreter //p' "$entry")"
    exit 0
  fi
done
echo ":$NAME:M::$MAGIC:$MASK:$QEMU:" >"$DIR/register" || { port_log "binfmt registration refused"; exit 1; }
port_log "$TARGET programs now start through $QEMU ($DIR/$NAME)"
