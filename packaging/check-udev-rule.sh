#!/usr/bin/env bash
# Checks the detector's udev rule: `udevadm verify` where udev has it (253 and
# later), then what the rule must do: the syntax of every key, the match on the
# detector's serial interface, the uaccess tag, ModemManager's ignore flag, no
# world-writable mode, and a number below 73-seat-late.rules.
set -euo pipefail
rules=${1:?usage: check-udev-rule.sh FILE.rules}
fail() { echo "$rules: $*" >&2; exit 1; }

if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$rules" || fail "udevadm verify failed"
fi

name=$(basename "$rules")
[[ $name =~ ^([0-9]+)-.+\.rules$ ]] || fail "the name is not NN-name.rules"
((10#${BASH_REMATCH[1]} < 73)) || fail "numbered ${BASH_REMATCH[1]}: uaccess needs a number below 73"

key='[A-Z_]+(\{[A-Za-z0-9_.-]+\})?'
pair="^[[:space:]]*($key)[[:space:]]*(==|!=|=|\\+=|-=|:=)[[:space:]]*\"([^\"]*)\"[[:space:]]*\$"
matched=false lineno=0
while IFS= read -r line || [ -n "$line" ]; do
  lineno=$((lineno + 1))
  [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
  declare -A rule=()
  IFS=, read -ra pairs <<<"$line"
  for p in "${pairs[@]}"; do
    [[ $p =~ $pair ]] || fail "line $lineno: not KEY op \"value\": $p"
    rule["${BASH_REMATCH[1]}${BASH_REMATCH[3]}"]=${BASH_REMATCH[4]}
    if [[ ${BASH_REMATCH[1]} == MODE && $((8#${BASH_REMATCH[4]} & 2)) -ne 0 ]]; then
      fail "line $lineno: MODE ${BASH_REMATCH[4]} lets everyone write"
    fi
  done
  if [[ ${rule['ATTRS{product}==']-} == AT32UC3\* ]]; then
    [[ ${rule['SUBSYSTEM==']-} == tty ]] || fail "line $lineno: the match is not on the tty subsystem"
    [[ ${rule['TAG+=']-} == uaccess ]] || fail "line $lineno: no TAG+=\"uaccess\""
    [[ ${rule['ENV{ID_MM_DEVICE_IGNORE}=']-} == 1 ]] || fail "line $lineno: no ENV{ID_MM_DEVICE_IGNORE}=\"1\""
    matched=true
  fi
  unset rule
done <"$rules"
$matched || fail "no rule matches ATTRS{product}==\"AT32UC3*\""
echo "$rules: ok"
