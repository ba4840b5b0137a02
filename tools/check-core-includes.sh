#!/usr/bin/env bash
# Fails when a folder that must stay free of the operating system includes one of its headers. The core
# (script/, model/, engine/, mapview/, base/) and frostmark-cli build on every system the program runs on;
# the desktop program's folders reach the system only through Qt. Every call on the system belongs in
# platform/ (posix/ and win32/), behind an interface of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
folders=(script model engine mapview base cli app platform/qt)
# POSIX and Windows headers by name; C and C++ standard headers (<csignal>, <ctime>, <cstdio>) are fine.
system='(unistd|fcntl|dirent|pthread|signal|sched|semaphore|spawn|poll|termios|pwd|grp|libgen|dlfcn|malloc|alloca|mntent|utime|netdb|glob|fnmatch|wordexp|syslog|ftw|aio|mqueue|ucontext|io|direct|process|share|conio|windows|winbase|windef|winnt|winreg|winerror|winuser|winsock2?|ws2tcpip|shlobj|shellapi|shlwapi|objbase|combaseapi|fileapi|handleapi|synchapi|processthreadsapi|memoryapi|sysinfoapi|tlhelp32|psapi|userenv|knownfolders)\.h'
pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](${system}|(sys|linux|asm|bits|mach|netinet|arpa|net)/[^>\"]*)[>\"]"
existing=()
for folder in "${folders[@]}"; do
    [ -d "$folder" ] && existing+=("$folder")
done
if found=$(grep -rinE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' "$pattern" "${existing[@]}"); then
    echo "$found" >&2
    echo "check-core-includes: the lines above include an operating-system header outside platform/;" \
         "put the call behind an interface in platform/ (with a POSIX and a Windows implementation)" >&2
    exit 1
fi
echo "check-core-includes: ${existing[*]} include no operating-system header"
