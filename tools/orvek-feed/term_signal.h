// SIGTERM as an interrupt: Wine turns SIGINT into the console's Ctrl-C
// event, which the feed handles, but leaves SIGTERM to end the process at
// once, summary unprinted.
#pragma once

namespace orvek::feed {

// Under Wine on Linux, has SIGTERM raise SIGINT instead, so that `kill` and
// `timeout` end the feed as Ctrl-C does. False when it could not (or need
// not: not Wine on Linux).
bool treat_sigterm_as_interrupt();

}  // namespace orvek::feed
