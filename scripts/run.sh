#!/usr/bin/env bash
# Builds Mondrel (installing what it needs) and starts it where its start-up image lies.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" "$top/build"
if [ ! -x "$top/build/bin/mondrel" ]; then
  echo "Mondrel's window is not there yet: this build has no build/bin/mondrel." >&2
  exit 1
fi
cd "$top/data"
exec "$top/build/bin/mondrel" "$@"
