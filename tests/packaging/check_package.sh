#!/usr/bin/env bash
# Builds the .deb from a configured and built tree and checks it as a Debian
# system would see it: file list, control fields, maintainer scripts (syntax, and
# a run against a temporary root with systemd absent) and lintian.
#   check_package.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build="$1"
src="$2"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb="$(ls "$work"/out/morrowick_*.deb 2>/dev/null | head -n1)"
[ -n "$deb" ] || { echo "FAIL: no morrowick_*.deb made"; exit 1; }
echo "package: $(basename "$deb")"

# --- file list ---------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
expect_file() { grep -qx "$1" "$work/files" && pass "contains $1" || fail "missing $1"; }
for f in \
    /usr/bin/mwservice /usr/bin/mwconfig /usr/bin/mwctl \
    /usr/lib/systemd/system/mwservice.service \
    /usr/share/dbus-1/system-services/org.morrowick.Service.service \
    /usr/share/dbus-1/system.d/org.morrowick.Service.conf \
    /usr/share/applications/mwconfig.desktop \
    /etc/xdg/autostart/mwconfig-autostart.desktop \
    /usr/share/icons/hicolor/scalable/apps/morrowick.svg \
    /usr/share/man/man8/mwservice.8.gz /usr/share/man/man1/mwconfig.1.gz \
    /usr/share/man/man1/mwctl.1.gz /usr/share/bash-completion/completions/mwctl \
    /usr/share/doc/morrowick/copyright /usr/share/doc/morrowick/changelog.gz; do
    expect_file "$f"
done
for size in 16 22 24 32 48 64 128 256; do
    expect_file "/usr/share/icons/hicolor/${size}x${size}/apps/morrowick.png"
done
# Nothing of the build or test tree may slip in.
if grep -Eq '/(include|tests?|gtest)/|\.a$|/build/' "$work/files"; then
    fail "unexpected files: $(grep -E '/(include|tests?|gtest)/|\.a$|/build/' "$work/files" | head -3 | tr '\n' ' ')"
fi

# --- control fields ----------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = morrowick ] && pass "Package: morrowick" || fail "Package is $(field Package)"
[ -n "$(field Version)" ] && pass "Version: $(field Version)" || fail "no Version"
depends="$(field Depends)"
for dep in libc6 libqt6widgets6 libcurl4 libsystemd0 libsdbus-c++1 dbus adduser init-system-helpers; do
    grep -q "$dep" <<<"$depends" && pass "Depends on $dep" || fail "Depends lacks $dep: $depends"
done

# --- maintainer scripts ------------------------------------------------------
mkdir -p "$work/control"
dpkg-deb -e "$deb" "$work/control"
for s in postinst prerm postrm; do
    [ -x "$work/control/$s" ] || { fail "$s missing or not executable"; continue; }
    sh -n "$work/control/$s" && pass "sh -n $s" || fail "sh -n $s"
done

# A temporary root with the package unpacked and a minimal account database;
# systemd does not run here, so nothing may try to talk to it.
root="$work/root"
mkdir -p "$root/etc" "$root/var/lib"
dpkg-deb -x "$deb" "$root"
printf 'root:x:0:0:root:/root:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\n' >"$root/etc/group"
printf 'root:*:::\n' >"$root/etc/gshadow"
printf 'root:*:19000:0:99999:7:::\n' >"$root/etc/shadow"
cp /etc/login.defs "$root/etc/login.defs" 2>/dev/null || true

run_script() { # name args...
    local name="$1"; shift
    DPKG_ROOT="$root" DPKG_MAINTSCRIPT_PACKAGE=morrowick "$work/control/$name" "$@" >"$work/$name.log" 2>&1
    local rc=$?
    [ $rc -eq 0 ] && pass "$name $* exits 0" || { fail "$name $* exits $rc"; cat "$work/$name.log"; }
}

run_script postinst configure ""
grep -q '^morrowick:' "$root/etc/group" && pass "postinst created the group morrowick" || fail "no group morrowick"
wants="$root/etc/systemd/system/multi-user.target.wants/mwservice.service"
[ -L "$wants" ] && pass "postinst enabled mwservice.service" || fail "mwservice.service not enabled ($wants)"
groups_before="$(grep -c '^morrowick:' "$root/etc/group")"
run_script postinst configure "$(field Version)"
[ "$(grep -c '^morrowick:' "$root/etc/group")" = "$groups_before" ] && pass "a second configure keeps one group" || fail "group added twice"

run_script prerm remove
mkdir -p "$root/var/lib/morrowick"
echo x >"$root/var/lib/morrowick/settings.mwk"
run_script postrm remove
[ -e "$root/var/lib/morrowick/settings.mwk" ] && pass "postrm remove keeps the state" || fail "postrm remove deleted the state"
run_script postrm purge
[ ! -e "$root/var/lib/morrowick" ] && pass "postrm purge removed /var/lib/morrowick" || fail "state left after purge"
[ ! -L "$wants" ] && pass "purge removed the enablement" || fail "enablement left after purge"

# --- desktop entries and man pages, as installed --------------------------------
for entry in "$root/usr/share/applications/mwconfig.desktop" "$root/etc/xdg/autostart/mwconfig-autostart.desktop"; do
    out="$(desktop-file-validate "$entry" 2>&1)"
    # "hint:" lines are advice (two main categories are asked for), not faults.
    if grep -qvE '^$|: hint: ' <<<"$out"; then fail "desktop-file-validate $(basename "$entry"): $out"
    else pass "desktop-file-validate $(basename "$entry")"; fi
done
grep -qx 'Exec=mwconfig /hide' "$root/etc/xdg/autostart/mwconfig-autostart.desktop" &&
    pass "autostart runs mwconfig /hide" || fail "autostart does not run mwconfig /hide"
for page in "$root"/usr/share/man/man*/*.gz; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] && pass "man --warnings $(basename "$page")" ||
        fail "man --warnings $(basename "$page"): $warnings"
done

# --- lintian -----------------------------------------------------------------
if command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
    cat "$work/lintian.log"
    if grep -q '^E:' "$work/lintian.log"; then
        fail "lintian reports errors"
    else
        pass "lintian: no errors"
    fi
    # Every warning left must be explained in packaging/README.md.
    while read -r tag; do
        grep -q -- "$tag" "$src/packaging/README.md" && pass "warning $tag is explained" ||
            fail "lintian warning $tag is neither fixed nor explained in packaging/README.md"
    done < <(awk '/^W:/{print $3}' "$work/lintian.log" | sort -u)
else
    fail "lintian is not installed"
fi

echo "$failures failed"
[ $failures -eq 0 ]
