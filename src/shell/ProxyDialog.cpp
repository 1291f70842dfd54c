// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ProxyDialog.h"

#include "core/SettingsStore.h"
#include "shell/DialogWidgets.h"
#include "shell/TitleRoom.h"
#include "update/UpdateServerSettings.h"

#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>

namespace kvorn {

ProxyDialog::ProxyDialog(SettingsStore &store, QWidget *parent)
    : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("frmProxy"));
    setWindowTitle(QStringLiteral("Proxy Setup"));

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_use = widgets::checkBox(QStringLiteral("Use a Proxy Server"), "chkEnable", frame);
    m_address = new QLineEdit(frame);
    m_address->setObjectName(QStringLiteral("txtAddress"));
    m_port = new QLineEdit(frame);
    m_port->setObjectName(QStringLiteral("txtPort"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Address:"), m_address);
    form->addRow(QStringLiteral("Port:"), m_port);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_use);
    frameLayout->addLayout(form);

    QHBoxLayout *buttons = widgets::okCancelRow(this, [this] {
        saveValues();
        accept();
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    const ProxySettings p = LoadProxySettings(store);
    m_use->setChecked(p.Use);
    m_address->setText(p.Address);
    m_port->setText(p.Port);
    makeRoomForTitle(*this);
}

void ProxyDialog::saveValues()
{
    SaveProxySettings(m_store, {m_use->isChecked(), m_address->text(), m_port->text()});
    if (!m_store.save())
        Q_EMIT saveFailed(QStringLiteral("The proxy settings could not be written to %1.")
                              .arg(QDir::toNativeSeparators(m_store.filePath())));
}

void ProxyDialog::open(SettingsStore &store, QWidget *parent)
{
    ProxyDialog dialog(store, parent);
    connect(&dialog, &ProxyDialog::saveFailed, &dialog, [&dialog](const QString &text) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Proxy Setup"), text,
                        QMessageBox::Ok, &dialog);
        makeRoomForTitle(box);
        box.exec();
    });
    dialog.adjustSize();
    if (QScreen *screen = parent ? parent->screen() : dialog.screen()) {
        const QRect area = screen->availableGeometry();
        dialog.move(area.center() - dialog.rect().center());
    }
    dialog.exec();
}

} // namespace kvorn
