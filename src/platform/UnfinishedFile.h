#pragma once

#include <QString>

#ifndef _WIN32
#include <csignal>
#endif

// What the interruption handler (Console.h) and a ReplacementFile share: the name of the file being made,
// which an interruption removes before the program ends.
namespace rq::platform::unfinished {

// The file an interruption removes from now on; one at a time.
void publish(const QString& path);
void withdraw();
// As the system spells the name, or nullptr; safe to call from a signal handler.
const char* current();

// Holds the interruptions back while a file comes into being or changes its name, so that the handler
// never misses the file nor removes one that is no longer ours; they arrive the moment this ends. The
// mask is this thread's: the new file is made before the scan starts threads of its own, and a handler
// that runs on another thread during the rename removes either the unfinished file or no file at all.
class InterruptionsHeld {
public:
    InterruptionsHeld();
    ~InterruptionsHeld();
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

private:
#ifndef _WIN32
    sigset_t previous_;
#endif
};

// The signals that end the program and that it handles: each removes the unfinished file first.
#ifdef _WIN32
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU};
#endif

} // namespace rq::platform::unfinished
