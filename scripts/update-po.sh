#!/bin/bash
# Brings the catalogues of zendb's texts up to date with the sources: extracts
# every marked text of tools/zendb (see tools/zendb/Tr.h for the markers) into
# po/zendb/zendb.pot and merges it into each po/zendb/<language>.po, where new
# texts appear with an empty translation to be filled in.
# Usage: scripts/update-po.sh [--check]   (--check: change nothing; exit 1
# when a marked text has no translation in a catalogue)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

check=0
[[ ${1:-} == --check ]] && check=1

pot=$(mktemp)
trap 'rm -f "$pot" "$pot".*' EXIT
# Only the markers of Tr.h count as texts; the default keywords are switched
# off (--keyword=) so that nothing else is picked up.
xgettext --language=C++ --from-code=UTF-8 --sort-by-file --add-comments=TRANSLATORS: \
    --package-name=zendb --msgid-bugs-address="ZENDatabase developers" \
    --keyword= --keyword=Tr --keyword=TrC:1c,2 --keyword=TrF --keyword=TrMark \
    --flag=TrF:1:c-format --flag=Tr:1:no-c-format --flag=TrC:2:no-c-format --flag=TrMark:1:no-c-format \
    -o "$pot" tools/zendb/*.cpp tools/zendb/*.h

if ((check)); then
    status=0
    for po in po/zendb/*.po; do
        # Texts of the sources that the catalogue lacks or leaves untranslated.
        msgmerge --quiet --no-fuzzy-matching -o "$pot.merged" "$po" "$pot"
        # Unwrapped, each msgid is one line; the header's is the empty one.
        untranslated=$(msgattrib --untranslated --no-obsolete --no-wrap "$pot.merged" |
            grep '^msgid ' | grep -v '^msgid ""$' || true)
        fuzzy=$(msgattrib --only-fuzzy --no-obsolete --no-wrap "$pot.merged" |
            grep '^msgid ' | grep -v '^msgid ""$' || true)
        if [[ -n $untranslated || -n $fuzzy ]]; then
            echo "$po: texts of the sources without a translation:" >&2
            printf '%s\n' "$untranslated" "$fuzzy" | grep -v '^$' >&2
            status=1
        fi
    done
    exit $status
fi

cp "$pot" po/zendb/zendb.pot
for po in po/zendb/*.po; do
    msgmerge --quiet --update --backup=none --no-fuzzy-matching "$po" po/zendb/zendb.pot
    echo "$po: $(msgfmt --statistics -o /dev/null "$po" 2>&1)"
done
