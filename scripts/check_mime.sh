#!/usr/bin/env bash
# Compiles a shared-mime-info package into a scratch database and checks
# that the type came out with its glob and its magic, and that the compiler
# had nothing to complain about.
#   scripts/check_mime.sh PACKAGE.xml TYPE
set -euo pipefail
package="$1"
type="$2"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
db="$scratch/mime"
mkdir -p "$db/packages"
cp "$package" "$db/packages/"
complaints=$(XDG_DATA_DIRS="$scratch" XDG_DATA_HOME="$scratch" update-mime-database "$db" 2>&1 || echo "update-mime-database failed")
if [ -n "$complaints" ]; then
  echo "$complaints" >&2
  exit 1
fi
[ -f "$db/$type.xml" ] || { echo "no $type in the compiled database" >&2; exit 1; }
grep -q "^50:$type:\*\.kdf$" "$db/globs2" || { echo "$type: no *.kdf glob" >&2; exit 1; }
grep -aq "<Header>" "$db/magic" || { echo "$type: no <Header> magic" >&2; exit 1; }
echo "$type: glob and magic in the compiled database"
