#!/bin/sh
# Runs a command with a small file system (tmpfs) mounted at MOUNTPOINT, big enough for one and a half times
# the file SIZED_BY, and unmounts it afterwards, passing the command's exit code through. Where mounting is
# not allowed (not root, no CAP_SYS_ADMIN), says so and exits 77, which ctest reports as skipped.
#   small_disk.sh MOUNTPOINT SIZED_BY command [args...]
mountpoint=$1 sized_by=$2; shift 2
bytes=$(stat -c %s "$sized_by") || exit 1
mkdir -p "$mountpoint"
umount "$mountpoint" 2>/dev/null
if ! error=$(mount -t tmpfs -o size=$(( (bytes * 3 / 2 + 1023) / 1024 ))k,mode=0777 moravel-small-disk "$mountpoint" 2>&1); then
  echo "SKIPPED: a small file system cannot be mounted here ($error)"
  exit 77
fi
"$@"
rc=$?
umount "$mountpoint" || rc=1
exit $rc
