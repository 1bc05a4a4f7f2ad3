// The ? command at a terminal: every command on one screen, one line each, the way DOS debuggers
// answer ?. Scripts never see it: there ? stays an invalid command, so their transcripts keep
// their bytes.
#include <cstdio>

#include "monitor/monitor.h"

namespace {

const char kHelp[] =
    "assemble       a                      (accepted, does nothing)\n"
    "breakpoints    bp [addr]  be [addr]  bd [addr]  bc\n"
    "capture        v file.s98|file.vgm [ms]   v (end it)\n"
    "coverage       c (on/off)  cc (clear)  cs (sizes)  co (save coverage.txt)\n"
    "display        display                (echo sound-register writes on/off)\n"
    "dump           d [[seg:]offset]\n"
    "enter          e offset [bytes...]    (no bytes: edit byte by byte)\n"
    "execute        x [addr]               (the q key breaks it)\n"
    "fill           f start end value\n"
    "go             g [addr]\n"
    "history        h (off/simple/full)  hw (write history.txt)\n"
    "io log         io                     (iow.txt on/off)\n"
    "load, name     l [name]  n name\n"
    "move           m source dest count\n"
    "quit           q\n"
    "register       r [reg [value]]\n"
    "size           fs size                (bytes that w writes)\n"
    "sound device   fe (extended mode)  fr (reset)\n"
    "trace, proceed t  p                   (p steps over a call)\n"
    "unassemble     u [offset]\n"
    "wait           wait n (ms per WAIT)  wc (wait-loop cancel on/off)\n"
    "write          w [name]\n"
    "command line   velkor [-exact] [-com n]...   numbers are hex, -com n and wait n decimal\n";

}  // namespace

void Monitor::showHelp() { std::fputs(kHelp, stdout); }
