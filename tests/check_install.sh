#!/bin/sh
# Usage: check_install.sh CMAKE BUILD_DIR BIN_PATH PAGE_PATH SOURCE_PAGE
#
# Installs BUILD_DIR into a fresh prefix and fails unless exactly two files
# land there: the tool at BIN_PATH, executable and runnable outside the build
# tree, and the manual page at PAGE_PATH, identical to SOURCE_PAGE. Both
# paths are relative to the prefix.
set -u

cmake=$1
build_dir=$2
bin_path=$3
page_path=$4
source_page=$5

prefix=$(mktemp -d "${TMPDIR:-/tmp}/ramdisk-install.XXXXXX") || exit 1
trap 'rm -rf "$prefix"' EXIT

if ! log=$("$cmake" --install "$build_dir" --prefix "$prefix" 2>&1); then
  echo "cmake --install failed:"
  echo "$log"
  exit 1
fi

installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
expected=$(printf '%s\n' "$bin_path" "$page_path" | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
  echo "installed files:"
  echo "$installed"
  echo "expected exactly:"
  echo "$expected"
  exit 1
fi

if [ ! -x "$prefix/$bin_path" ]; then
  echo "$bin_path is not executable"
  exit 1
fi
if ! cmp -s "$source_page" "$prefix/$page_path"; then
  echo "$page_path differs from $source_page"
  exit 1
fi

# Run from an empty directory with an empty PATH, so that nothing of the
# build tree can stand in for what the installed tool needs.
output=$(cd "$prefix" && PATH= "$prefix/$bin_path" -size:1g 2>&1)
result=$?
if [ "$result" -ne 2 ] || [ "$output" != "General error: No valid command given" ]; then
  echo "installed tool: status $result, output:"
  echo "$output"
  exit 1
fi
