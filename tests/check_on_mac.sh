#!/bin/sh
# Usage: check_on_mac.sh SCRIPT BUILD_DIR
#
# Runs scripts/check-on-mac against BUILD_DIR's tool and stand-ins and fails
# unless every check passes and nothing is left behind: /Volumes, its
# entries and its mounts as they were, nothing in its temporary directory.
# Then the script's fallback, which uses the directory /Volumes itself, as
# where no private mount namespace can be made: it passes and leaves
# /Volumes as it was; it refuses to start, and changes nothing, when a name
# it uses is taken; interrupted during an add, it removes what it made; and
# against a diskutil that formats "HFSX" as "HFS+", as a tool with a wrong
# format vector would, it fails that check. Exits 77 (skipped) unless run as
# root on Linux.
set -u
script=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
build=$(cd "$2" && pwd)

# check STATUS COMMAND...: fails when COMMAND ends with another exit status,
# or changes what is in or mounted at /Volumes, or in $work/tmp.
check() {
  status=$1
  shift
  before=$(grep " /Volumes[ /]" /proc/self/mountinfo; ls -A /Volumes "$work/tmp" 2>&1)
  TMPDIR=$work/tmp "$@" >"$work/out" 2>&1
  result=$?
  after=$(grep " /Volumes[ /]" /proc/self/mountinfo; ls -A /Volumes "$work/tmp" 2>&1)
  if [ "$result" -ne "$status" ] || [ "$before" != "$after" ]; then
    printf '%s: exit status %s, expected %s; before:\n%s\nafter:\n%s\noutput:\n' \
      "$*" "$result" "$status" "$before" "$after"
    cat "$work/out"
    exit 1
  fi
}

# expect TEXT: the last run printed a line holding TEXT.
expect() {
  grep -qF -- "$1" "$work/out" && return 0
  echo "no line holds \"$1\"; output:"
  cat "$work/out"
  exit 1
}

[ "$(id -u)" -eq 0 ] || { echo "skipped: the checks need root, for /Volumes"; exit 77; }
[ "$(uname -s)" = Linux ] || { echo "skipped: the stand-ins' checks run on Linux"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ramdisk-check-test.XXXXXX") || exit 1
made_volumes=
trap 'rm -rf "$work"; [ -z "$made_volumes" ] || rmdir /Volumes/rdchk-hfsx /Volumes 2>/dev/null' EXIT
mkdir "$work/tmp"
check 0 /bin/sh "$script" "$build/bin/ramdisk"
expect " 0 failed"

# The rest in the fallback, on the directory /Volumes itself.
export RAMDISK_CHECK_SHARED_VOLUMES=1
check 0 /bin/sh "$script" "$build/bin/ramdisk"
expect "use /Volumes itself"
expect " 0 failed"

[ -d /Volumes ] || made_volumes=/Volumes
mkdir -p /Volumes/rdchk-hfsx
check 2 /bin/sh "$script" "$build/bin/ramdisk"
expect "/Volumes/rdchk-hfsx is taken"
rmdir /Volumes/rdchk-hfsx $made_volumes

# A build whose diskutil interrupts the script at its first erase, or
# formats "HFSX" as "HFS+".
fake=$work/fake
mkdir -p "$fake/bin" "$fake/standin-bin"
ln -s "$build/bin/ramdisk" "$fake/bin/ramdisk"
ln -s "$build/standin-bin/hdiutil" "$fake/standin-bin/hdiutil"
ln -s "$build/standin-bin/ditto" "$fake/standin-bin/ditto"
cat >"$fake/standin-bin/diskutil" <<EOF
#!/bin/sh
if [ "\$1 \$2 \$3" = "quiet erasevolume HFSX" ] && [ "\$FAULT" = swap ]; then
  shift 3
  exec "$build/standin-bin/diskutil" quiet erasevolume HFS+ "\$@"
fi
"$build/standin-bin/diskutil" "\$@" || exit
# The script is the parent of the tool, which is this one's parent.
[ "\$1 \$2" != "quiet erasevolume" ] || [ "\$FAULT" != interrupt ] ||
  kill -INT "\$(cut -d' ' -f4 /proc/\$PPID/stat)"
EOF
chmod +x "$fake/standin-bin/diskutil"
check 130 env FAULT=interrupt /bin/sh "$script" "$fake/bin/ramdisk"
check 1 env FAULT=swap /bin/sh "$script" "$fake/bin/ramdisk"
expect "FAIL: -add:rdchk-hfsx -fs:hfsx: the system reports \"HFS+\" (hfs), expected \"Case-sensitive HFS+\" (hfs)"
if grep FAIL "$work/out" | grep -qv hfsx; then
  echo "a check other than -fs:hfsx failed too:"
  cat "$work/out"
  exit 1
fi
exit 0
