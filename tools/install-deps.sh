#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine:
# Debian packages, the JUCE 8 sources (Debian's next release carries them as
# a source package) and the Source Sans Pro font from the npm registry.
# Safe to run again: what is already there is reused.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.cache"
mkdir -p "$cache"

packages=(
    cmake ninja-build g++ pkg-config dpkg-dev
    libx11-dev libxrandr-dev libxinerama-dev libxext-dev libxcursor-dev
    libfreetype-dev libfontconfig1-dev zlib1g-dev libisal-dev libpng-dev libjpeg-dev
    xvfb openbox xdotool x11-utils imagemagick
    binutils-mingw-w64-x86-64
    clang libclang-rt-14-dev clang-format
    fuse2fs
    g++-mingw-w64-x86-64-posix wine wine64
    ansible  # ansible-core with the community collections, whose chroot connection the deployment test uses
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing Debian packages: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The machine's own Debian mirror, read from its apt configuration.
debian_mirror() {
    local files=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
    local uri
    uri=$(cat "${files[@]}" 2>/dev/null \
        | grep -oE '(https?|file)://[^ ]+' \
        | grep -E '/debian/?$' | head -n 1)
    [ -n "$uri" ] || { echo "no Debian entry found in /etc/apt" >&2; return 1; }
    echo "${uri%/}"
}

# Unpacks a source package of Debian's next release into .cache/<name>,
# with Debian's patches applied; the version must start with $2.
fetch_source_package() {
    local name=$1 major=$2
    local dir="$cache/$name"
    [ -f "$dir/CMakeLists.txt" ] && return
    local apt_dir="$cache/apt"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$cache/download/$name"
    echo "deb-src $(debian_mirror) trixie main" > "$apt_dir/sources.list"
    local opts=(-o "Dir::Etc::sourcelist=$apt_dir/sources.list" -o Dir::Etc::sourceparts=/dev/null
                -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
    [ -n "$(ls "$apt_dir/lists" | grep -i sources)" ] || apt-get "${opts[@]}" update -qq
    local version
    version=$(apt-cache "${opts[@]}" showsrc "$name" | sed -n 's/^Version: //p' | head -n 1)
    case "$version" in
        "$major".*) ;;
        *) echo "expected $name $major.x in the source package, found '$version'" >&2; exit 1 ;;
    esac
    local work="$cache/download/$name"
    (cd "$work" && apt-get "${opts[@]}" source --download-only "$name" >/dev/null 2>&1)
    rm -rf "$work/unpacked"
    (cd "$work" && dpkg-source -x ./"${name}"_*.dsc unpacked >/dev/null 2>&1)
    rm -rf "$dir"
    mv "$work/unpacked" "$dir"
    rm -rf "$work"
    echo "$name $version unpacked into $dir"
}

fetch_font() {
    local font="$cache/fonts/SourceSansPro-Regular.ttf"
    [ -f "$font" ] && return
    mkdir -p "$cache/fonts/pack"
    (cd "$cache/fonts/pack" && npm pack --silent source-sans-pro@2.20.2 >/dev/null \
        && tar -xzf source-sans-pro-2.20.2.tgz package/TTF/SourceSansPro-Regular.ttf)
    mv "$cache/fonts/pack/package/TTF/SourceSansPro-Regular.ttf" "$font"
    rm -rf "$cache/fonts/pack"
}

command -v npm >/dev/null || { echo "npm is needed to fetch the font" >&2; exit 1; }
fetch_source_package juce 8
fetch_source_package catch2 3
fetch_font
