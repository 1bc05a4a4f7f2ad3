#!/usr/bin/env bash
# The optional libraries of the build, installed where we may: as root with apt-get (CI, a fresh
# Debian or Ubuntu machine). Elsewhere nothing is installed; the build leaves the feature out and
# says how to get it. Never fails: a missing optional library never breaks the build.
have() { command -v pkg-config >/dev/null && pkg-config --exists "$1"; }

# install PKG-CONFIG-NAME DEBIAN-PACKAGE WHAT
install() {
  if ! have "$1" && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing $3 ($2)"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y pkg-config "$2" >/dev/null 2>&1 ||
      { apt-get update >/dev/null 2>&1 && apt-get install -y pkg-config "$2" >/dev/null 2>&1; } || true
  fi
}

install portaudio-2.0 portaudio19-dev "PortAudio for live audio"
install libedit libedit-dev "libedit for line editing at the terminal"
have portaudio-2.0 ||
  echo "live audio left out (PortAudio not found): install portaudio19-dev (Debian, Ubuntu) or portaudio (Homebrew) and make again"
have libedit ||
  echo "line editing left out (libedit not found): install libedit-dev (Debian, Ubuntu) and make again"
exit 0
