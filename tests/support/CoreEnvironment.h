#pragma once

#include "support/ScriptedDoubles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rq::test {

// Each test gets its own settings folder, program folder and scripted dialogs, and a yield that runs
// pending events on every call so that commands started during a yield really run there. Qt Core only:
// TestEnvironment adds what the windows are given.
class CoreEnvironment {
public:
    CoreEnvironment();
    ~CoreEnvironment();
    CoreEnvironment(const CoreEnvironment&) = delete;
    CoreEnvironment& operator=(const CoreEnvironment&) = delete;

    QString path(const QString& name) const { return root_.filePath(name); }
    QString programFolder() const { return root_.filePath(QStringLiteral("program")); }
    QString settingsFile() const;

    ScriptedMessageBoxes messages;
    ScriptedFileDialog fileDialog;
    ScriptedProcessStarter processes;

private:
    QTemporaryDir root_;
};

} // namespace rq::test
