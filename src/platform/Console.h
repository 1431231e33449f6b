#pragma once

#include <QString>

// What a program run from a shell needs of the system beyond Qt: whether someone watches standard error,
// and an interruption that ends the program at once.
namespace rq::platform {

bool standardErrorIsTerminal();
bool standardOutputIsTerminal();

// From now on Ctrl-C (SIGINT), SIGTERM, SIGHUP and the other signals that end a program (SIGQUIT, SIGUSR1,
// ...) end it at once with status 128 + the signal's number (130 for Ctrl-C), removing first the file a
// ReplacementFile is writing, if there is one. SIGKILL cannot be caught: it leaves that file behind.
void exitAtOnceOnInterrupt();

} // namespace rq::platform
