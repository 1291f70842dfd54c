// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace kvorn {

class SettingsStore;

/// "Update Server": where the online update logs on, kept in section "Update". Only
/// "&OK" stores.
class UpdateServerDialog : public QDialog
{
    Q_OBJECT

public:
    explicit UpdateServerDialog(SettingsStore &store, QWidget *parent = nullptr);

    /// Shows the dialog and waits for it; true when the user stored new values.
    static bool open(SettingsStore &store, QWidget *parent = nullptr);

Q_SIGNALS:
    /// The store could not be written; the text says where.
    void saveFailed(const QString &text);

private:
    void saveValues();

    SettingsStore &m_store;
    QLineEdit *m_host = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_folder = nullptr;
    QComboBox *m_security = nullptr;
};

} // namespace kvorn
