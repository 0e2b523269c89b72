#!/bin/sh
# Rebuilds every committed asset from its sources and fails when that
# changes anything git tracks (or adds a file) under the asset folders: the
# committed files must be exactly what the makers write.
#
#   tools/dev/assets_check.sh SOURCE_DIR BUILD_DIR
set -eu
source_dir=$1
build_dir=$2
folders="assets dist/icons"

git -C "$source_dir" rev-parse --is-inside-work-tree > /dev/null
cmake --build "$build_dir" --target regenerate-assets > "$build_dir/regenerate-assets.log" 2>&1 || {
  cat "$build_dir/regenerate-assets.log"
  echo "assets_check: regenerate-assets failed"
  exit 1
}
# shellcheck disable=SC2086  # the folder list is split on purpose
changed=$(git -C "$source_dir" status --porcelain -- $folders)
if [ -n "$changed" ]; then
  echo "assets_check: regenerating the assets changed these files:"
  echo "$changed"
  exit 1
fi
echo "assets_check: every asset under $folders regenerates to its committed bytes"
