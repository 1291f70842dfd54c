// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/UpdateServerDialog.h"

#include "core/SettingsStore.h"
#include "shell/DialogWidgets.h"
#include "update/UpdateServerSettings.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kvorn {

UpdateServerDialog::UpdateServerDialog(SettingsStore &store, QWidget *parent)
    : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("frmUpdateServer"));
    setWindowTitle(QStringLiteral("Update Server"));
    const auto edit = [this](const char *name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    m_host = edit("txtHost");
    m_host->setPlaceholderText(QStringLiteral("none: updating is off"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("txtPort"));
    m_port->setRange(1, 65535);
    m_user = edit("txtUser");
    m_password = edit("txtPassword");
    m_password->setEchoMode(QLineEdit::Password);
    m_folder = edit("txtFolder");
    m_security = new QComboBox(this);
    m_security->setObjectName(QStringLiteral("cboSecurity"));
    // The order is the stored "Security" value.
    m_security->addItems({QStringLiteral("Plain FTP (the password travels in clear)"),
                          QStringLiteral("TLS (AUTH TLS, required)"),
                          QStringLiteral("Implicit TLS (FTPS)")});
    connect(m_security, &QComboBox::currentIndexChanged, this, [this](int index) {
        // The usual port follows the choice unless the user named another.
        const bool implicit = index == int(FtpSecurity::ImplicitTls);
        if (implicit && m_port->value() == kFtpPort)
            m_port->setValue(kFtpsPort);
        else if (!implicit && m_port->value() == kFtpsPort)
            m_port->setValue(kFtpPort);
    });

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), m_host);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Account:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    form->addRow(QStringLiteral("Folder:"), m_folder);
    form->addRow(QStringLiteral("Security:"), m_security);

    QHBoxLayout *buttons = widgets::okCancelRow(this, [this] {
        saveValues();
        accept();
    });
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    const UpdateServerSettings s = LoadUpdateServerSettings(store);
    m_host->setText(s.Host);
    m_user->setText(s.User);
    m_password->setText(s.Password);
    m_folder->setText(s.Folder);
    m_security->setCurrentIndex(int(s.Security));
    m_port->setValue(s.Port); // after the choice, which may have moved it
}

void UpdateServerDialog::saveValues()
{
    UpdateServerSettings s = LoadUpdateServerSettings(m_store); // keeps CAFile and Timeout
    s.Host = m_host->text().trimmed();
    s.Port = quint16(m_port->value());
    s.User = m_user->text();
    s.Password = m_password->text();
    s.Folder = m_folder->text().trimmed();
    s.Security = FtpSecurity(m_security->currentIndex());
    SaveUpdateServerSettings(m_store, s);
    if (!m_store.save())
        Q_EMIT saveFailed(QStringLiteral("The update server settings could not be written to %1.")
                              .arg(QDir::toNativeSeparators(m_store.filePath())));
}

bool UpdateServerDialog::open(SettingsStore &store, QWidget *parent)
{
    UpdateServerDialog dialog(store, parent);
    connect(&dialog, &UpdateServerDialog::saveFailed, &dialog, [&dialog](const QString &text) {
        QMessageBox::warning(&dialog, QStringLiteral("Update Server"), text);
    });
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kvorn
