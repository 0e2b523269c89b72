#!/bin/sh
# Which top-level folder includes which: a text table (the default), a
# Graphviz picture (--dot), or a check (--check) that every arrow runs down
# the layers below and fails, naming the includes, when one runs up.
#
#   include_graph.sh [--table | --dot | --check] [ROOT]    (ROOT defaults to the tree of this script)
#
# The layers, lowest first: a folder may include its own headers and any
# folder on an earlier line, never one on a later line.
#   host                 platform interfaces and hosts
#   sid xm content       the two players, the magazine's text
#   assets               the embedded files
#   render               every pixel, the reader's layout and view types
#   app                  the program flow and its entry points
#   tools                build generators, asset makers, developer tools
#   tests                tests (they use the tools' libraries)
#   bench                benchmarks (they share test fixtures)
# Folders on one line are independent of each other.
set -eu
mode=table
case "${1:-}" in
  --table | --dot | --check) mode=${1#--}; shift ;;
esac
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
layers='host:0 sid:1 xm:1 content:1 assets:2 render:3 app:4 tools:5 tests:6 bench:7'

# One line per include of another top-level folder: from to file line
edges=$(cd "$root" && for dir in $(echo "$layers" | sed 's/:[0-9]*//g'); do
  [ -d "$dir" ] || continue
  grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/' "$dir" \
    --include='*.h' --include='*.hpp' --include='*.c' --include='*.cpp' --include='*.inc' 2>/dev/null |
    sed -E 's/^([^:]+):([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]+"([a-z_]+)\/.*/\1 \2 \3/' |
    awk -v from="$dir" '$3 != from { print from, $3, $1, $2 }'
done)


case $mode in
  table)
    printf '%-8s %-8s %s\n' FROM TO INCLUDES
    [ -z "$edges" ] || echo "$edges" | awk '{ n[$1 " " $2]++ } END { for (k in n) { split(k, p, " "); printf "%-8s %-8s %d\n", p[1], p[2], n[k] } }' | sort
    ;;
  dot)
    echo 'digraph folders {'
    echo '  rankdir=BT; node [shape=box];'
    for entry in $layers; do
      echo "  \"${entry%%:*}\" [group=l${entry##*:}];"
    done
    [ -z "$edges" ] || echo "$edges" | awk '{ n[$1 " " $2]++ } END { for (k in n) { split(k, p, " "); printf "  \"%s\" -> \"%s\" [label=%d];\n", p[1], p[2], n[k] } }' | sort
    echo '}'
    ;;
  check)
    bad=0
    if [ -n "$edges" ]; then
      # Rank each folder once, then compare per include.
      ranks=$(for entry in $layers; do echo "$entry"; done)
      up=$(echo "$edges" | awk -v ranks="$ranks" '
        BEGIN { n = split(ranks, r, "\n"); for (i = 1; i <= n; i++) { split(r[i], kv, ":"); rank[kv[1]] = kv[2] } }
        { to = ($2 in rank) ? rank[$2] : -1; if (to < 0 || to >= rank[$1]) print $3 ":" $4 ": " $1 " includes " $2 }')
      if [ -n "$up" ]; then
        echo "$up"
        bad=1
      fi
    fi
    if [ "$bad" -ne 0 ]; then
      echo "include_graph: includes against the layers (see tools/dev/include_graph.sh)" >&2
      exit 1
    fi
    echo "include_graph: every include runs down the layers"
    ;;
esac
