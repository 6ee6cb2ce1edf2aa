// orvekport: drives the host application through OrvekPORT.dll from a
// shell or a script, one export call per run.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "tools/common/win_text.h"
#include "tools/orvekport/run.h"
#include "tools/orvekport/win32_seam.h"

int main() {
  // Plain line feeds: what a script under Wine or a Unix pipe expects, and
  // what a Windows console shows alike.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  orvek::cli::Win32Library library;
  orvek::cli::Win32System system;
  return orvek::cli::run_client(orvek::tools::utf8_command_line(), library,
                                system);
}
