#pragma once

#include <QString>
#include <QStringList>

namespace rq::platform {

struct StartRequest {
    QString program;
    QStringList arguments;
};

// Starts another program without waiting for it.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    virtual bool startDetached(const StartRequest& request) = 0;
};

class QtProcessStarter final : public ProcessStarter {
public:
    bool startDetached(const StartRequest& request) override;
};

// How the desktop opens a file with the viewer it associates with the file's type: the file browser
// ("explorer" with the quoted path) on Windows, xdg-open elsewhere.
StartRequest openWithDefaultViewer(const QString& path);

} // namespace rq::platform
