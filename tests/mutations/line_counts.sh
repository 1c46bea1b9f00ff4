#!/usr/bin/env bash
# Lines of code per folder: every file under tests/ and fuzz/ in any language (C++, Lua, Python, shell,
# CMake), data files left out (XML parts, workbooks, fuzz dictionaries and seeds, Markdown), and the
# product (lib/, plugin/, host/) for comparison.
#   tests/mutations/line_counts.sh [ROOT]      ROOT defaults to the repository this script is in
set -euo pipefail
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
cd "$root"

# count FOLDER [FIND OPTIONS]: lines of the code files under FOLDER.
count() {
  local total=0 file
  while IFS= read -r -d '' file; do
    case "$file" in
      *.cpp | *.h | *.lua | *.py | *.sh | *.cmake | */CMakeLists.txt) total=$((total + $(wc -l <"$file"))) ;;
    esac
  done < <(find "$1" "${@:2}" -type f -print0 2>/dev/null)
  echo "$total"
}

grand=0
printf '%-28s %7s\n' folder lines
for top in tests fuzz; do
  [ -d "$top" ] || continue
  for folder in "$top"/*/; do
    n=$(count "${folder%/}")
    printf '%-28s %7d\n' "${folder%/}" "$n"
    grand=$((grand + n))
  done
  n=$(count "$top" -maxdepth 1)  # the files directly in tests/ or fuzz/
  [ "$n" -gt 0 ] && printf '%-28s %7d\n' "$top/ (own files)" "$n"
  grand=$((grand + n))
done
printf '%-28s %7d\n' "tests + fuzz" "$grand"
product=0
for folder in lib plugin host; do product=$((product + $(count "$folder"))); done
printf '%-28s %7d\n' "product (lib plugin host)" "$product"
