# Whether this machine runs 32-bit x86 programs, asked of the machine itself:
# machines of this project's kind differ, and some refuse every 32-bit
# program ("Exec format error": the hypervisor runs 64-bit user code only)
# even with wine32:i386 installed, whose loader Debian's `wine` then picks.
# Source it; every script that installs, starts or skips 32-bit Wine asks
# here.
#
#   orvek_runs_32bit      # 0 when the kernel executes 32-bit x86 programs
#   orvek_wine32_usable   # 0 when, besides, 32-bit Wine is installed and starts
#   orvek_no_32bit_note   # the one line that says why the i686 runs are skipped
#
# ORVEK_NO_32BIT=1 makes both answer "no" on any machine, so that the 64-bit
# only path is exercised (and kept working) where 32-bit programs do run.
# After a "no", ORVEK_32BIT_REASON says why in a few words.

_orvek_machine_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Debian's 32-bit Wine loader, from wine32:i386.
ORVEK_WINE32_LOADER=/usr/lib/wine/wine

# The smallest i386 program: one ELF header, one loadable segment and
#   mov bl, 42; xor eax, eax; inc eax; int 0x80    (exit(42))
# It needs no 32-bit library, so it asks the kernel alone; the exit code
# shows that it really ran.
_orvek_tiny_i386='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'\
'\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00'\
'\x00\x10\x00\x00\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80'

orvek_runs_32bit() {
  if [[ "${ORVEK_NO_32BIT:-}" == 1 ]]; then
    ORVEK_32BIT_REASON="ORVEK_NO_32BIT=1 makes this run as if the machine could not execute 32-bit programs"
    return 1
  fi
  if [[ -z "${_orvek_kernel_runs_32bit:-}" ]]; then
    # In the build tree rather than /tmp, which may be mounted noexec.
    local folder="${ORVEK_BUILD_ROOT:-$_orvek_machine_repo/build}" probe rc=0
    mkdir -p "$folder"
    probe="$(mktemp "$folder/.probe-i386.XXXXXX")"
    printf "$_orvek_tiny_i386" >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    _orvek_kernel_runs_32bit=no
    ((rc == 42)) && _orvek_kernel_runs_32bit=yes
  fi
  if [[ "$_orvek_kernel_runs_32bit" != yes ]]; then
    ORVEK_32BIT_REASON="this machine cannot execute 32-bit programs"
    return 1
  fi
}

orvek_wine32_usable() {
  orvek_runs_32bit || return 1
  if [[ ! -x "$ORVEK_WINE32_LOADER" ]]; then
    ORVEK_32BIT_REASON="32-bit Wine (wine32:i386) is not installed"
    return 1
  fi
  if ! "$ORVEK_WINE32_LOADER" --version >/dev/null 2>&1; then
    ORVEK_32BIT_REASON="32-bit Wine is installed but does not start"
    return 1
  fi
}

orvek_no_32bit_note() {
  echo "$ORVEK_32BIT_REASON, so the i686 DLL was built and checked but not run under Wine"
}
