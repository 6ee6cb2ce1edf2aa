// The emulator outlives the program that started it, so it must not hold
// that program's standard streams: a shell reading them through a pipe
// (`x=$(prog)`, `prog | tail`) waits until every writer has closed.
#pragma once

namespace orvek::host {

// Points the emulator's standard streams at nothing: the Windows handles are
// closed, and under Wine on Linux the Unix descriptors 0, 1 and 2 too, since
// Wine hands every started program the starter's Unix error stream whatever
// the start call asked for. False when the Unix descriptors stayed as they
// were under Wine on Linux (/dev/null could not be opened).
bool release_standard_streams();

}  // namespace orvek::host
