#!/usr/bin/env bash
# Builds the keyed setup that the tests and the bench install signed releases with: the Windows
# build's CorvantaWebSetup.exe with publisher keys built in, in BUILD_DIR, a build folder of its
# own (CMake keeps its options, so a later plain build there would stay keyed). The keys are
# throwaway ones, made anew on every run and never committed, in BUILD_DIR/test-keys:
#   publisher-1.key.pem, publisher-2.key.pem  both built in (publishers.pub.pem holds them)
#   stranger.key.pem                          not built in
# The vendor's names are those of the plain Windows build (CORVANTA_WIN32_BUILD_DIR), whose
# download host the sandbox serves. Usage: make-keyed-setup.sh BUILD_DIR MINIMUM_RELEASE
set -euo pipefail
build=$1
minimum_release=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
keys=$build/test-keys

mkdir -p "$keys"
for name in publisher-1 publisher-2 stranger; do
  openssl ecparam -name prime256v1 -genkey -noout -out "$keys/$name.key.pem"
  openssl ec -in "$keys/$name.key.pem" -pubout -out "$keys/$name.pub.pem" 2>/dev/null
done
cat "$keys/publisher-1.pub.pem" "$keys/publisher-2.pub.pem" > "$keys/publishers.pub.pem"

config=${CORVANTA_WIN32_BUILD_DIR:-$source_dir/build/win32}/build-config.json
vendor=$(python3 -c '
import json, sys
config = json.load(open(sys.argv[1]))
print(" ".join(["-DCORVANTA_DOWNLOAD_HOST=" + config["download_host"],
                "-DCORVANTA_VENDOR_DOMAIN=" + config["vendor_domain"],
                "-DCORVANTA_HOME_PAGE=" + config["home_page"]]))' "$config")

cd "$source_dir"
# Afresh every time, with every option given: CMake would otherwise keep the compiler the folder
# was first configured with (the build refuses one of another thread model).
# shellcheck disable=SC2086 # the vendor's names are single words
cmake --preset win32 -B "$build" --fresh $vendor -DCORVANTA_PUBLISHER_KEYS="$keys/publishers.pub.pem" \
  -DCORVANTA_MINIMUM_RELEASE="$minimum_release" >/dev/null
cmake --build "$build" --target CorvantaWebSetup
