#!/bin/sh
# Usage: check_try.sh SCRIPT BUILD_DIR
#
# Runs the demo SCRIPT against BUILD_DIR and fails unless it exits 0 and
# leaves nothing behind: /Volumes, its entries and its mounts as they were,
# nothing in its temporary directory; also when its output pipe is closed.
# Then the same where "/" is not a mount point, as in a chroot (the root is
# a directory of bind mounts, in a private mount namespace); there it must
# also refuse, and keep, a /Volumes/scratch that is taken. Exits 77
# (skipped) unless run as root, as the demo needs, and where no private
# mount namespace can be made for the chroot case.
set -u
script=$1
build=$2

# check STATUS VOLUMES COMMAND...: fails when COMMAND ends with another exit
# status, or changes what is in or mounted at VOLUMES, or in $work/tmp.
check() {
  status=$1 volumes=$2
  shift 2
  before=$(grep " $volumes[ /]" /proc/self/mountinfo; ls -A "$volumes" "$work/tmp" 2>&1)
  TMPDIR=$work/tmp "$@" >"$work/out" 2>&1
  result=$?
  after=$(grep " $volumes[ /]" /proc/self/mountinfo; ls -A "$volumes" "$work/tmp" 2>&1)
  if [ "$result" -ne "$status" ] || [ "$before" != "$after" ]; then
    printf 'exit status %s, expected %s; before:\n%s\nafter:\n%s\noutput:\n' \
      "$result" "$status" "$before" "$after"
    cat "$work/out"
    exit 1
  fi
}

if [ "${3:-}" = chroot ]; then
  work=$4
  mount -t tmpfs ramdisk-try-test "$work" || exit 1
  root=$work/root
  source_dir=$(cd "$(dirname "$script")/.." && pwd)
  mkdir -p "$work/tmp" "$root$work/tmp"
  for dir in bin lib lib64 sbin; do
    [ ! -L "/$dir" ] || cp -P "/$dir" "$root/"
  done
  for dir in /usr /etc /dev /proc "$source_dir" "$build" "$work/tmp"; do
    mkdir -p "$root$dir" && mount --bind "$dir" "$root$dir" || exit 1
  done
  check 0 "$root/Volumes" chroot "$root" /bin/sh "$script" "$build"
  check 0 "$root/Volumes" chroot "$root" /bin/sh -c '"$0" "$1" | head -n 1' "$script" "$build"
  mkdir -p "$root/Volumes/scratch"
  check 1 "$root/Volumes" chroot "$root" /bin/sh "$script" "$build"
  exit 0
fi

[ "$(id -u)" -eq 0 ] || { echo "skipped: the demo needs root"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ramdisk-try-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp"
check 0 /Volumes /bin/sh "$script" "$build"
check 0 /Volumes /bin/sh -c '"$0" "$1" | head -n 1' "$script" "$build"
if ! unshare -m --propagation private true 2>/dev/null; then
  echo "skipped: no private mount namespace here, so the chroot case cannot be tried"
  exit 77
fi
unshare -m --propagation private /bin/sh "$0" "$script" "$build" chroot "$work"
