#!/usr/bin/env bash
# Lines of code per folder: every file under tests/ and fuzz/ in any language (C++, Lua, Python, shell,
# CMake), data files left out (XML parts, workbooks, fuzz dictionaries and seeds, Markdown), and the
# product (lib/, plugin/, host/) for comparison.
#   tests/mutations/line_counts.sh [ROOT]      ROOT defaults to the repository this script is in
set -euo pipefail
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
cd "$root"

is_code() {
  case "$1" in
    *.cpp | *.h | *.lua | *.py | *.sh | *.cmake | */CMakeLists.txt | CMakeLists.txt) return 0 ;;
    *) return 1 ;;
  esac
}

count_folder() {
  local folder="$1" total=0 lines file
  while IFS= read -r -d '' file; do
    is_code "$file" || continue
    lines=$(wc -l <"$file")
    total=$((total + lines))
  done < <(find "$folder" -type f -print0 2>/dev/null)
  echo "$total"
}

grand=0
printf '%-28s %7s\n' folder lines
for top in tests fuzz; do
  [ -d "$top" ] || continue
  for folder in "$top"/*/ "$top"; do
    folder="${folder%/}"
    if [ "$folder" = "$top" ]; then
      # Files directly in tests/ or fuzz/.
      n=0
      for file in "$top"/*; do
        [ -f "$file" ] && is_code "$file" && n=$((n + $(wc -l <"$file")))
      done
      [ "$n" -gt 0 ] && printf '%-28s %7d\n' "$top/ (own files)" "$n"
      grand=$((grand + n))
      continue
    fi
    n=$(count_folder "$folder")
    printf '%-28s %7d\n' "$folder" "$n"
    grand=$((grand + n))
  done
done
printf '%-28s %7d\n' "tests + fuzz" "$grand"
product=0
for folder in lib plugin host; do product=$((product + $(count_folder "$folder"))); done
printf '%-28s %7d\n' "product (lib plugin host)" "$product"
