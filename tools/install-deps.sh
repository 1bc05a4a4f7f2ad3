#!/usr/bin/env bash
# The optional libraries of the build, installed where we may: as root with apt-get (CI, a fresh
# Debian or Ubuntu machine). Elsewhere nothing is installed; the build leaves the feature out and
# says how to get it. Never fails: a missing optional library never breaks the build.
have_portaudio() { command -v pkg-config >/dev/null && pkg-config --exists portaudio-2.0; }

if ! have_portaudio && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
  echo "installing PortAudio for live audio (portaudio19-dev)"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y pkg-config portaudio19-dev >/dev/null 2>&1 ||
    { apt-get update >/dev/null 2>&1 && apt-get install -y pkg-config portaudio19-dev >/dev/null 2>&1; } || true
fi
have_portaudio ||
  echo "live audio left out (PortAudio not found): install portaudio19-dev (Debian, Ubuntu) or portaudio (Homebrew) and make again"
exit 0
