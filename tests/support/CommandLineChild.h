#pragma once

// Runs the command-line executable as a child, as a script would: this test binary's ODBC registration,
// the test's own settings folder, and no display.
#include "support/CoreEnvironment.h"
#include "support/Settings.h"

#include <QFileInfo>
#include <QProcess>
#include <optional>

namespace rq::test {

inline const QString kCli = QStringLiteral(ROWQUARRY_CLI_EXECUTABLE);

inline QProcessEnvironment childEnvironment(const CoreEnvironment& env)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "ROWQUARRY_PASSWORD"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QFileInfo(env.settingsFile()).absolutePath());
    return environment;
}

struct Outcome {
    int status = -1; // -1: the child crashed
    QByteArray out;
    QByteArray err;
};

// Runs a child to its end; `input` goes to its standard input, which is then closed.
inline Outcome run(const CoreEnvironment& env, const QStringList& arguments, const QByteArray& input = {},
                   const std::optional<QString>& environmentPassword = std::nullopt, const QString& program = kCli)
{
    QProcess process;
    QProcessEnvironment environment = childEnvironment(env);
    if (environmentPassword)
        environment.insert(QStringLiteral("ROWQUARRY_PASSWORD"), *environmentPassword);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return {};
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(-1);
    const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {status, process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace rq::test
