#!/usr/bin/env bash
# Installs what the cross builds of the given targets need from Debian, and makes Debian's source packages
# reachable for apt-get source. Does nothing (and touches no package list) when all of it is present.
# Usage: scripts/cross/install-packages.sh ppc32|i386 ...
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

[ $# -ge 1 ] || port_die "usage: $0 ppc32|i386 ..."

wanted=""
for t in "$@"; do wanted="$wanted $(port_packages "$t")"; done
missing=""
for p in $wanted; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing="$missing $p"
done

# A deb-src entry for the archive the machine already uses: the same URIs, suites and key as its binary
# entries, in a file of our own (the machine's own source lists are left as they are).
SRC_LIST=/etc/apt/sources.list.d/xlsx-port-deb-src.sources
have_deb_src() {
  grep -qsE '^[[:space:]]*deb-src[[:space:]]|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources
}
write_deb_src() {
  local tmp
  tmp=$(mktemp)
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$tmp"
  fi
  if [ -f /etc/apt/sources.list ]; then
    # One-line entries: "deb [opts] URI suite components" becomes a deb822 stanza.
    awk '$1 == "deb" {
           i = 2; opts = ""
           if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
           comps = ""; for (j = i + 2; j <= NF; j++) comps = comps " " $j
           signed = ""; if (match(opts, /signed-by=[^] ]*/)) signed = substr(opts, RSTART + 10, RLENGTH - 10)
           print ""; print "Types: deb-src"; print "URIs: " $i; print "Suites: " $(i + 1)
           print "Components:" comps; if (signed != "") print "Signed-By: " signed
         }' /etc/apt/sources.list >>"$tmp"
  fi
  grep -q '^Types: deb-src' "$tmp" || { rm -f "$tmp"; port_die "no Debian archive entry found to derive deb-src from"; }
  install -m 0644 "$tmp" "$SRC_LIST"
  rm -f "$tmp"
  port_log "added $SRC_LIST"
}

need_update=0
if ! have_deb_src; then
  [ "$(id -u)" = 0 ] || port_die "root is needed to add a deb-src entry"
  write_deb_src
  need_update=1
fi
# The source index may be missing even with an entry present (fresh machine, lists cleaned).
if ! ls /var/lib/apt/lists/*_Sources* >/dev/null 2>&1; then need_update=1; fi
# Package lists refreshed within the hour (by the other target's run a minute ago, say) serve as they are;
# an install that fails with them is tried once more after a refresh.
lists_fresh() { [ -n "$(find /var/lib/apt/lists -maxdepth 1 -name '*_Packages*' -mmin -60 -print -quit 2>/dev/null)" ]; }
if [ -n "$missing" ] && ! lists_fresh; then need_update=1; fi

update_lists() {
  port_log "apt-get update"
  apt-get -o DPkg::Lock::Timeout=600 update -qq
}
install_missing() {
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $missing \
    >/dev/null
}

if [ "$need_update" = 1 ] || [ -n "$missing" ]; then
  [ "$(id -u)" = 0 ] || port_die "root is needed to install:$missing"
fi
if [ "$need_update" = 1 ]; then update_lists; fi
if [ -n "$missing" ]; then
  port_log "installing:$missing"
  if ! install_missing; then
    if [ "$need_update" = 1 ]; then port_die "apt-get install failed:$missing"; fi
    update_lists
    install_missing
  fi
fi
port_log "packages present: $(echo $wanted | wc -w)"
