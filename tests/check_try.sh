#!/bin/sh
# Usage: check_try.sh SCRIPT BUILD_DIR
#
# Runs the demo SCRIPT against BUILD_DIR and fails unless it exits 0 and
# leaves nothing behind: /Volumes (made once and left), its entries and its
# mounts as they were, nothing in its temporary directory; also when its
# output pipe is closed.
# Then the same where "/" is not a mount point, as in a chroot (the root is
# a directory of bind mounts, in a mount namespace of its own); there it
# must also refuse, and keep, a /Volumes/scratch that is taken. Exits 77
# (skipped) unless run as root, as the demo needs, and where the mounts of
# the chroot case would show outside its namespace.
#
# That namespace's mounts stay in it when "/" is made private there, or,
# where "/" is no mount point (this test itself run in a chroot), when the
# mount that holds the work directory is not shared: the rule of the
# end-to-end tests (tests/support/stand_ins.cc). A probe file on the
# test's tmpfs tells, looked for through /proc/PID/root of a process
# outside.
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
  work=$4 outside=$5
  root_private=yes
  mount --make-rprivate / 2>/dev/null || root_private=no
  mount -t tmpfs ramdisk-try-test "$work" || exit 1
  if [ "$root_private" = no ]; then
    if [ ! -d "/proc/$outside/root$work" ]; then
      why="with no /proc, whether the mount that holds $work is shared cannot be told"
    elif : >"$work/probe" && [ -e "/proc/$outside/root$work/probe" ]; then
      why="the mount that holds $work is shared with the rest of the machine"
    else
      why=
    fi
    if [ -n "$why" ]; then
      # Unmounted here, the tmpfs goes from outside too.
      umount -l "$work"
      echo "skipped: \"/\" is not a mount point (a chroot?) and $why, so the" \
        "chroot case's mounts would show outside its mount namespace; enter the" \
        "chroot from a private mount namespace (unshare -m --propagation private" \
        "chroot DIR ...), or make DIR a mount point first (mount --bind DIR DIR)"
      exit 77
    fi
    rm "$work/probe"
  fi
  root=$work/root
  source_dir=$(cd "$(dirname "$script")/.." && pwd)
  mkdir -p "$work/tmp" "$root$work/tmp"
  for dir in bin lib lib64 sbin; do
    [ ! -L "/$dir" ] || cp -P "/$dir" "$root/"
  done
  for dir in /usr /etc /dev /proc "$source_dir" "$build" "$work/tmp"; do
    mkdir -p "$root$dir" && mount --bind "$dir" "$root$dir" || exit 1
  done
  # Without a /Volumes, the demo makes one and leaves it there, empty.
  chroot "$root" /bin/sh "$script" "$build" >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }
  if [ ! -d "$root/Volumes" ] || [ -n "$(ls -A "$root/Volumes")" ]; then
    echo "the demo left no empty /Volumes behind"
    exit 1
  fi
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
mkdir -p /Volumes
check 0 /Volumes /bin/sh "$script" "$build"
check 0 /Volumes /bin/sh -c '"$0" "$1" | head -n 1' "$script" "$build"
if ! why=$(unshare -m --propagation unchanged true 2>&1); then
  echo "skipped: no mount namespace can be made here ($why), so the chroot case cannot" \
    "be tried"
  exit 77
fi
unshare -m --propagation unchanged /bin/sh "$0" "$script" "$build" chroot "$work" $$
status=$?
if grep " $work[ /]" /proc/self/mountinfo; then
  echo "the chroot case's mounts above show outside its mount namespace"
  umount -R -l "$work"
  exit 1
fi
exit $status
