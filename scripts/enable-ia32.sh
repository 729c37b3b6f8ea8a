#!/usr/bin/env bash
# Wine runs our 32-bit exe with its 32-bit loader, an i386 Linux program. Some hosts run 64-bit
# user code only (execve of an i386 program fails with ENOEXEC); there the loader runs under
# qemu-i386, registered with binfmt_misc. qemu 7.2 (bookworm) spends about 50 s starting every
# Wine process; qemu from bookworm-backports starts it in about a second.
set -euo pipefail

i386_probe=/lib/ld-linux.so.2
ia32_runs() { "$i386_probe" --version >/dev/null 2>&1; }

if ia32_runs; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive

qemu=/usr/bin/qemu-i386-static
qemu_major() { "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p'; }
if [ ! -x "$qemu" ] || [ "$(qemu_major)" -lt 8 ]; then
  list=/etc/apt/sources.list.d/corvanta-bookworm-backports.list
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo 'deb http://deb.debian.org/debian bookworm-backports main' | $SUDO tee "$list" >/dev/null
  fi
  echo "Installing qemu-user-static from bookworm-backports to run 32-bit Wine" >&2
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
fi

binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
# A registration made before qemu was upgraded keeps the old binary open (flag F): replace it.
[ -e "$binfmt/qemu-i386" ] && echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
  | $SUDO tee "$binfmt/register" >/dev/null

if ! ia32_runs; then
  echo "error: 32-bit programs still cannot run on this host" >&2
  exit 1
fi
