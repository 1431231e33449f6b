#include "SecurityDialog.h"

#include "logic/connection/ConnectionSecurity.h"
#include "logic/frame/SettingsKeys.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace rq {

namespace {

constexpr int kTextWidth = 440; // pixels: word-wrapped labels need a width to fold to

// A choice, what it gives up beneath it, and its setting written on every change.
QCheckBox* choice(QVBoxLayout& layout, const char* caption, const QString& consequence, bool ticked, const char* key)
{
    auto* box = new QCheckBox(QLatin1String(caption));
    box->setChecked(ticked);
    auto* note = new QLabel(consequence);
    note->setWordWrap(true);
    note->setIndent(20);
    note->setFixedWidth(kTextWidth);
    box->setAccessibleDescription(consequence);
    layout.addWidget(box);
    layout.addWidget(note);
    layout.addSpacing(6);
    QObject::connect(box, &QCheckBox::toggled, box, [key](bool on) { settings::store(key, on); });
    return box;
}

} // namespace

SecurityDialog::SecurityDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Security"));
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(
        QStringLiteral("Rowquarry encrypts the whole connection, and checks the server's certificate against the "
                       "trust store and the server's name before it sends the login."),
        this);
    explanation->setWordWrap(true);
    explanation->setFixedWidth(kTextWidth);
    layout->addWidget(explanation);
    layout->addSpacing(6);
    const ConnectionSecurity stored = storedSecurity();
    trustCertificate = choice(*layout, kTrustCertificateCaption,
                              QStringLiteral("Encrypt, but take whatever certificate the server presents: anyone on "
                                             "the way to the server could pose as it and read the login."),
                              stored.trustServerCertificate, settings::kTrustServerCertificate);
    allowUnencrypted = choice(*layout, kAllowUnencryptedCaption,
                              QStringLiteral("Also connect to a server that cannot encrypt: only the login, or "
                                             "nothing at all, is encrypted, and anyone on the way can read the rows."),
                              stored.allowUnencrypted, settings::kAllowUnencrypted);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    closeButton = buttons->button(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

} // namespace rq
