// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace kvorn {

class SettingsStore;

/// "Proxy Setup" (`frmProxy`): whether the update goes through a proxy, and its address
/// and port, kept in section "Proxy" as typed. Only "&OK" stores.
class ProxyDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProxyDialog(SettingsStore &store, QWidget *parent = nullptr);

    /// Shows the dialog centred on the screen and waits for it.
    static void open(SettingsStore &store, QWidget *parent = nullptr);

Q_SIGNALS:
    /// The store could not be written; the text says where.
    void saveFailed(const QString &text);

private:
    void saveValues();

    SettingsStore &m_store;
    QCheckBox *m_use = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_port = nullptr;
};

} // namespace kvorn
