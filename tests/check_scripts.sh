#!/bin/sh
# Usage: check_scripts.sh SOURCE_DIR
#
# The scripts name what they lack, and the package that brings it, before
# they start: scripts/memcheck without valgrind, scripts/fuzz without
# clang++ or without libFuzzer's runtime, scripts/check-macos without npm.
# Each runs with a PATH that holds everything this machine's PATH does
# except the tool it lacks. When npm fails, scripts/check-macos names a log
# that is there. scripts/try and scripts/check-on-mac, not run as root, give
# the command to run them with on a line of its own; scripts/check-on-mac
# without a build says to build first. Exits 77 (skipped) but on Linux, for which the
# scripts are made.
set -u
source=$1
[ "$(uname -s)" = Linux ] || { echo "skipped: the scripts are Linux tooling"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ramdisk-scripts-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# without NAME...: a new directory of links to every program on PATH but
# NAME...
without() {
  bin=$(mktemp -d "$work/path.XXXXXX") || exit 1
  chmod 755 "$bin"
  IFS=:
  for dir in $PATH; do
    [ -d "$dir" ] && find "$dir" -maxdepth 1 ! -type d -perm -u+x -exec ln -s -t "$bin" {} + 2>/dev/null
  done
  unset IFS
  for name in "$@"; do
    rm -f "$bin/$name"
  done
  printf '%s\n' "$bin"
}

failures=0
# expect STATUS TEXT COMMAND...: COMMAND must end with STATUS and print a
# line that holds TEXT.
expect() {
  status=$1 text=$2
  shift 2
  result=0
  "$@" >"$work/out" 2>&1 || result=$?
  if [ "$result" -ne "$status" ] || ! grep -qF -- "$text" "$work/out"; then
    printf 'FAIL: %s\nexit status %s, expected %s, and a line with "%s"; output:\n' \
      "$*" "$result" "$status" "$text"
    sed 's/^/  | /' "$work/out"
    failures=$((failures + 1))
  fi
}

no_valgrind=$(without valgrind)
expect 1 "valgrind not found (Debian: apt-get install valgrind)" \
  env PATH="$no_valgrind" bash "$source/scripts/memcheck" "$work/no-build"

no_clang=$(without clang++)
expect 1 "clang++ not found (Debian: apt-get install clang libclang-rt-14-dev)" \
  env PATH="$no_clang" bash "$source/scripts/fuzz"

# A clang++ that links no libFuzzer target, as without its runtime.
no_runtime=$(without clang++)
printf '#!/bin/sh\necho "ld: cannot find libclang_rt.fuzzer.a" >&2\nexit 1\n' >"$no_runtime/clang++"
chmod +x "$no_runtime/clang++"
expect 1 "apt-get install libclang-rt-14-dev" env PATH="$no_runtime" bash "$source/scripts/fuzz"

# scripts/check-macos looks for these before it fetches its toolchain, and
# runs none of them before.
cross_tools() {
  for name in cmake make clang++ llvm-lipo llvm-objdump; do
    [ -e "$1/$name" ] || ln -s /bin/false "$1/$name"
  done
}
no_npm=$(without npm)
cross_tools "$no_npm"
expect 1 "npm is needed to fetch the toolchain (Debian: apt-get install npm)" \
  env PATH="$no_npm" RAMDISK_MACOS_CACHE="$work/cache" bash "$source/scripts/check-macos"

# An npm that fails as Debian's does, naming a log in its cache.
failing_npm=$(without npm)
cross_tools "$failing_npm"
cat >"$failing_npm/npm" <<'EOF'
#!/bin/sh
while [ $# -gt 0 ] && [ "$1" != --cache ]; do shift; done
mkdir -p "$2/_logs" && echo "the fetch failed" >"$2/_logs/debug-0.log"
printf 'npm ERR! code E404\nnpm ERR! A complete log of this run can be found in:\n' >&2
printf 'npm ERR!     %s\n' "$2/_logs/debug-0.log" >&2
exit 1
EOF
chmod +x "$failing_npm/npm"
expect 1 "its log is $work/cache/npm-debug.log" \
  env PATH="$failing_npm" RAMDISK_MACOS_CACHE="$work/cache" bash "$source/scripts/check-macos"
for log in $(grep -o '/[^ ]*[.]log' "$work/out"); do
  if ! grep -qs "the fetch failed" "$log"; then
    echo "FAIL: scripts/check-macos names $log, which holds no log of npm"
    failures=$((failures + 1))
  fi
done

# A copy, which any user can run wherever the checkout is.
mkdir -p "$work/copy/scripts"
cp "$source/scripts/try" "$work/copy/scripts/"
chmod -R a+rX "$work/copy"
as_user=
[ "$(id -u)" -ne 0 ] || as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
expect 1 "sudo $work/copy/scripts/try" $as_user "$work/copy/scripts/try"
# scripts/check-on-mac without a build, and, not as root, with one.
cp "$source/scripts/check-on-mac" "$work/copy/scripts/"
mkdir -p "$work/copy/build/bin" "$work/copy/build/standin-bin"
ln -s /bin/true "$work/copy/build/bin/ramdisk"
chmod -R a+rX "$work/copy"
expect 2 "is not there or not a program: build it first" "$work/copy/scripts/check-on-mac"
expect 2 "sudo $work/copy/scripts/check-on-mac $work/copy/build/bin/ramdisk" $as_user \
  "$work/copy/scripts/check-on-mac" "$work/copy/build/bin/ramdisk"

[ "$failures" -eq 0 ]
