#!/bin/sh
# Refreshes po/mzt.pot from the sources and merges it into each language's
# .po (new texts come in untranslated, changed ones fuzzy). Run from the
# repository's top folder.
set -e
find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort |
  xgettext --files-from=- --from-code=UTF-8 --language=C++ --keyword= \
    --keyword=Tr --keyword=TrW --keyword=TrLater --flag=Tr:1:no-c-format --flag=TrW:1:no-c-format --flag=TrLater:1:no-c-format --package-name="MZT Utility" \
    --no-wrap --sort-by-file --output=po/mzt.pot
for po in po/*.po; do
  msgmerge --quiet --update --backup=none --no-wrap "$po" po/mzt.pot
done
