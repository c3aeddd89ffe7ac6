#!/bin/sh
# The installer's two profiles, read from what each would install: `run`
# holds what building and running korvane needs and nothing of the tests,
# the fuzzing or the Windows build; `all` holds `run` and all of those, and
# is what the installer does without a profile. Usage: check_install_profiles.sh INSTALLER
set -eu
installer="$1"
fail() { echo "check_install_profiles: $*" >&2; exit 1; }

run=$(bash "$installer" run --list | sort)
all=$(bash "$installer" all --list | sort)
expected=$(printf '%s\n' cmake g++ libasio-dev libgeographiclib-dev libpcap-dev libvalijson-dev libxml2-dev ninja-build \
    nlohmann-json3-dev rapidjson-dev | sort)
[ "$run" = "$expected" ] || fail "the run profile is: $(echo $run)"
for package in $run python3 python3-jsonschema libgtest-dev libbenchmark-dev tcpdump clang \
    libclang-rt-dev g++-mingw-w64-x86-64-posix wine64 googletest libxml2-utils erlang-asn1; do
  echo "$all" | grep -qx -- "$package" || fail "the all profile lacks $package"
done
[ "$(bash "$installer" --list | sort)" = "$all" ] || fail "without a profile it is not all"
if bash "$installer" everything --list >/dev/null 2>&1; then fail "an unknown profile is taken"; fi
echo "check_install_profiles: run $(echo "$run" | wc -l) packages, all $(echo "$all" | wc -l)"
