#pragma once

// A loaded, shown extraction window for the benchmarks, with stand-ins for its dialogs.
#include "ui/AppContext.h"
#include "ui/Form2.h"

#include <QApplication>
#include <cstdio>

namespace rq::bench {

// Reports go to standard error: a benchmark must not stop at a modal box.
class PrintedMessages final : public platform::MessageBoxes {
public:
    platform::Answer show(const platform::MessageBox& box) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(box.text));
        return platform::Answer::No;
    }
};

class NoDialog final : public platform::FileDialog {
public:
    QString askSaveFileName(const platform::SaveDialogOptions&) override { return {}; }
};

class NoProcesses final : public platform::ProcessStarter {
public:
    bool startDetached(const platform::StartRequest&) override { return false; }
};

// A loaded, shown extraction window whose commands connect with `fields`.
struct BenchWindow {
    PrintedMessages messages;
    NoDialog dialog;
    NoProcesses processes;
    AppContext context{messages, dialog, processes};
    Form2 form{context};
    explicit BenchWindow(const ConnectionFields& fields)
    {
        form.connectionFields = [fields] { return fields; };
        form.showConnectionWindow = [] {};
        form.Form_Load();
        form.show();
        QApplication::processEvents();
    }
};

} // namespace rq::bench
