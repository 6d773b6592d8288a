#!/usr/bin/env bash
# The window's translations (resources/translations/kr5m_<lang>.ts) against the texts the program marks
# for translation in src/.
#   translations.sh --update [LUPDATE]   brings every .ts up to date: new texts come in unfinished, texts
#                                         gone from the program go
#   translations.sh --check  [LUPDATE]   fails (exit 1), naming them, when a text has no translation in
#                                         some language; the build runs this, so it fails too
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
lupdate=${2:-/usr/lib/qt6/bin/lupdate}
[ -x "$lupdate" ] || { echo "translations: $lupdate not found (Debian package qt6-l10n-tools)" >&2; exit 2; }
case "$mode" in
  --update)
    for ts in resources/translations/*.ts; do
      "$lupdate" -silent -no-obsolete -locations none src -ts "$ts"
    done ;;
  --check)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    status=0
    for ts in resources/translations/*.ts; do
      cp "$ts" "$work/"
      "$lupdate" -silent -no-obsolete -locations none src -ts "$work/$(basename "$ts")"
      missing=$(python3 - "$work/$(basename "$ts")" <<'PY'
import sys, xml.etree.ElementTree as ET
for context in ET.parse(sys.argv[1]).getroot().iter('context'):
    for message in context.iter('message'):
        t = message.find('translation')
        if t is None or t.get('type') == 'unfinished' or not (t.text or '').strip():
            print('  %s: "%s"' % (context.findtext('name'), message.findtext('source')))
PY
)
      if [ -n "$missing" ]; then
        echo "translations: $(basename "$ts") has no translation of:" >&2
        echo "$missing" >&2
        status=1
      fi
    done
    [ $status -eq 0 ] || echo "translations: run scripts/translations.sh --update, then translate them in the .ts" >&2
    exit $status ;;
  *) echo "usage: $0 --update|--check [LUPDATE]" >&2; exit 2 ;;
esac
