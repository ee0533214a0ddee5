#!/usr/bin/env bash
# Fails when clang-format would change any C++ file of the repository, and names those files.
set -euo pipefail
cd "$(dirname "$0")/.."
changed=()
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    changed+=("$file")
  fi
done < <(git ls-files -z -- '*.cpp' '*.h' '*.h.in')
if ((${#changed[@]})); then
  echo "clang-format would change these files (run clang-format -i on them):" >&2
  printf '  %s\n' "${changed[@]}" >&2
  exit 1
fi
