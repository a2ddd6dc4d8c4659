#!/usr/bin/env bash
# The layers of src/, lowest first: a file may include the headers of its own
# folder and of the folders before it in this list, never of one after it. The
# programs (src/main.cpp and src/tools/) sit on top. CMakeLists.txt builds one
# library per layer in the same order.
#
#   scripts/check_layers.sh [SOURCE_DIR]
#
# Prints every include of a higher layer (file, line and include) and fails when
# there is one, or when a file lies in a folder the list does not place or an
# include climbs out of its folder with "..".
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
layers="core models sampler output setup analysis tools"
cd "$root"
find src -name '*.cpp' -o -name '*.h' | sort |
  xargs awk -v layers="$layers" '
    BEGIN { n = split(layers, l, " "); for (i = 1; i <= n; ++i) rank[l[i]] = i }
    FNR == 1 {
      path = substr(FILENAME, 5)
      folder = path ~ /\// ? substr(path, 1, index(path, "/") - 1) : "tools"
      if (!(folder in rank)) { print FILENAME ": folder " folder " is not in the list of layers"; bad = 1 }
    }
    /^[ \t]*#[ \t]*include[ \t]*"/ {
      inc = $0; sub(/^[^"]*"/, "", inc); sub(/".*$/, "", inc)
      if (inc ~ /(^|\/)\.\.\//) { print FILENAME ":" FNR ": includes \"" inc "\" (a path out of its folder)"; bad = 1; next }
      if (inc !~ /\//) next
      target = substr(inc, 1, index(inc, "/") - 1)
      if ((target in rank) && (folder in rank) && rank[target] > rank[folder]) {
        print FILENAME ":" FNR ": includes \"" inc "\": layer " folder " may not include layer " target
        bad = 1
      }
    }
    END { exit bad }' || { echo "check_layers: includes against the order of the layers ($layers)" >&2; exit 1; }
