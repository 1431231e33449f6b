#include "Console.h"

#include "UnfinishedFile.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace rq::platform {

namespace {

extern "C" void onInterrupt(int signal)
{
    // Only async-signal-safe calls here.
    if (const char* path = unfinished::current()) {
#ifdef _WIN32
        _unlink(path);
#else
        unlink(path);
#endif
    }
    _exit(128 + signal);
}

} // namespace

bool standardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr));
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

bool standardOutputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdout));
#else
    return isatty(STDOUT_FILENO) == 1;
#endif
}

void exitAtOnceOnInterrupt()
{
#ifdef _WIN32
    for (int s : unfinished::kEndingSignals)
        std::signal(s, onInterrupt);
#else
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigfillset(&action.sa_mask);
    for (int s : unfinished::kEndingSignals) {
        // A signal the shell told us to ignore (a job started with '&' or nohup) stays ignored.
        struct sigaction current = {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        sigaction(s, &action, nullptr);
    }
#endif
}

} // namespace rq::platform
