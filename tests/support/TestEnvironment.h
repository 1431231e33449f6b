#pragma once

#include "support/ScriptedDoubles.h"
#include "ui/AppContext.h"

#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>

namespace rq::test {

// Each test gets its own settings folder, program folder and scripted dialogs, and a yield that runs
// pending events on every call so that commands started during a yield really run there.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString path(const QString& name) const { return root_.filePath(name); }
    QString programFolder() const { return root_.filePath(QStringLiteral("program")); }
    QString settingsFile() const;

    ScriptedMessageBoxes messages;
    ScriptedFileDialog fileDialog;
    ScriptedProcessStarter processes;
    AppContext context{messages, fileDialog, processes};
    int endProgramCalls = 0;
    // The connection objects the program has made, counted on whichever thread opens them.
    std::atomic<int> connectionsCreated = 0;

private:
    QTemporaryDir root_;
};

// Reports shown as failure reports ("Application Error").
QStringList failureReports(const ScriptedMessageBoxes& messages);

} // namespace rq::test
