#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace rq {

// "Security...": the connection's two security choices, each saved the moment it changes, as every field of the
// connection window is. Unticked, the whole session is encrypted and the server's certificate checked.
class SecurityDialog : public QDialog {
    Q_OBJECT
public:
    explicit SecurityDialog(QWidget* parent);

    QCheckBox* trustCertificate;
    QCheckBox* allowUnencrypted;
    QPushButton* closeButton;
};

} // namespace rq
