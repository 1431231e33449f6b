#pragma once

// A program run to its end as a whole process, as a script would run it, with its time and peak memory.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace rq::bench {

struct ChildRun {
    double seconds = 0;
    double peakMb = 0;
    int status = -1;
};

// Runs a program to its end with `extra` added to this process's environment and its standard output sent
// to `output`, and reads how long it took and its peak memory from the system.
inline ChildRun runChild(const QStringList& arguments, const QStringList& extra, const QString& output,
                         const QString& errors = QStringLiteral("/dev/null"))
{
    QList<QByteArray> argv;
    for (const QString& argument : arguments)
        argv << argument.toLocal8Bit();
    QList<QByteArray> env;
    for (char** e = environ; *e; ++e)
        env << QByteArray(*e);
    for (const QString& variable : extra)
        env << variable.toLocal8Bit();
    std::vector<char*> argp, envp;
    for (QByteArray& a : argv)
        argp.push_back(a.data());
    argp.push_back(nullptr);
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = output.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray err = errors.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ChildRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argp[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.peakMb = usage.ru_maxrss / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

} // namespace rq::bench
