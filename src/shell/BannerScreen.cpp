// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/BannerScreen.h"

#include "banner/BannerList.h"
#include "banner/SystemHosts.h"
#include "core/Options.h"
#include "core/Prompt.h"
#include "shell/BannerImportDialog.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kvorn {

BannerScreenWidget::BannerScreenWidget(BannerList &list, Prompt &prompt, Options &options,
                                       SystemHosts *system, QWidget *parent)
    : QWidget(parent), m_list(list), m_prompt(prompt), m_options(options),
      m_view(new QTreeView(this)), m_apply(new QPushButton(QStringLiteral("Apply"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)), m_system(system),
      m_applySystem(new QPushButton(QStringLiteral("Apply to System"), this)),
      m_removeSystem(new QPushButton(QStringLiteral("Remove from System"), this))
{
    setObjectName(QStringLiteral("BannerScreen"));
    m_view->setObjectName(QStringLiteral("lvBanner"));
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    // Published lists give thousands of groups: equal rows keep scrolling and sizing cheap.
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setModel(&m_list);
    m_view->header()->setStretchLastSection(true);
    // Sizing to contents measures up to a thousand rows; only new contents need it.
    connect(&m_list, &QAbstractItemModel::modelReset, this, [this] { m_columnsSized = false; });

    m_apply->setObjectName(QStringLiteral("cmdApply"));
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_apply, &QPushButton::clicked, this, &BannerScreenWidget::applyChanges);
    connect(m_cancel, &QPushButton::clicked, this, &BannerScreenWidget::cancelChanges);

    m_applySystem->setObjectName(QStringLiteral("cmdApplySystem"));
    m_removeSystem->setObjectName(QStringLiteral("cmdRemoveSystem"));
    connect(m_applySystem, &QPushButton::clicked, this, &BannerScreenWidget::applyToSystem);
    connect(m_removeSystem, &QPushButton::clicked, this, &BannerScreenWidget::removeFromSystem);
    if (m_system)
        connect(m_system, &SystemHosts::finished, this, &BannerScreenWidget::systemFinished);
    updateSystemCommands();

    // The system commands get a row of their own: beside Apply and Cancel their texts were
    // cut in the window's usual width.
    auto *systemButtons = new QHBoxLayout;
    systemButtons->addWidget(m_applySystem);
    systemButtons->addWidget(m_removeSystem);
    systemButtons->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_apply);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 1);
    layout->addLayout(systemButtons);
    layout->addLayout(buttons);
}

bool BannerScreenWidget::applyChanges()
{
    const WriteResult result = m_list.apply();
    if (!result) {
        m_prompt.message(QStringLiteral("The banner selection could not be applied:\n%1\n\n"
                                        "The previous banner list and hosts file are unchanged.")
                             .arg(result.error),
                         Prompt::Buttons::Ok, Prompt::Icon::Critical, QStringLiteral("K-Vorn"));
        return false;
    }
    return true;
}

bool BannerScreenWidget::systemCommandsEnabled() const
{
    return m_system && m_system->available() && !m_system->isRunning();
}

void BannerScreenWidget::updateSystemCommands()
{
    const bool enabled = systemCommandsEnabled();
    m_applySystem->setEnabled(enabled);
    m_removeSystem->setEnabled(enabled);
    Q_EMIT systemCommandsChanged(enabled);
}

void BannerScreenWidget::applyToSystem()
{
    if (!systemCommandsEnabled())
        return;
    // The system gets what the program's own hosts file holds, so both say the same.
    if (!applyChanges())
        return;
    m_system->start(SystemHosts::Action::Apply, m_list.blockedServerNames());
    updateSystemCommands();
}

void BannerScreenWidget::removeFromSystem()
{
    if (!systemCommandsEnabled())
        return;
    m_system->start(SystemHosts::Action::Remove);
    updateSystemCommands();
}

void BannerScreenWidget::systemFinished(bool ok, const QString &message)
{
    updateSystemCommands();
    m_prompt.message(message, Prompt::Buttons::Ok,
                     ok ? Prompt::Icon::Information : Prompt::Icon::Critical,
                     QStringLiteral("K-Vorn"));
}

void BannerScreenWidget::cancelChanges()
{
    m_list.cancel();
}

void BannerScreenWidget::importList()
{
    BannerImportDialog dialog(m_list, m_prompt, window());
    // Only an import changed "banner.kbl"; reloading after a cancel would only drop the
    // user's unapplied ticks.
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_list.LoadBannerList();
    autoSizeColumns();
}

void BannerScreenWidget::autoSizeColumns()
{
    if (!m_options.AutoColumn)
        return;
    for (int column = 0; column < m_list.columnCount(); ++column)
        m_view->resizeColumnToContents(column);
    m_columnsSized = true;
}

void BannerScreenWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The widths depend on the contents only: a resize needs new ones after a reload.
    if (!m_columnsSized)
        autoSizeColumns();
}

BannerScreenWidget *installBannerScreen(MainWindow &window, BannerList &list, Prompt &prompt,
                                  Options &options, SystemHosts *system)
{
    auto *screen = new BannerScreenWidget(list, prompt, options, system);
    window.setScreenWidget(QStringLiteral("tsKbanner"), screen);

    const BannerActions &items = window.bannerActions();
    const auto bind = [screen](QAction *item, auto slot) {
        QObject::connect(item, &QAction::triggered, screen, slot);
    };
    bind(items.selectAll, [&list] { list.selectAll(); });
    bind(items.selectNone, [&list] { list.selectNone(); });
    bind(items.invert, [&list] { list.invertSelection(); });
    bind(items.apply, [screen] { screen->applyChanges(); });
    bind(items.load, [screen] { screen->importList(); });
    bind(items.applySystem, [screen] { screen->applyToSystem(); });
    bind(items.removeSystem, [screen] { screen->removeFromSystem(); });
    const auto enableSystemItems = [items](bool enabled) {
        items.applySystem->setEnabled(enabled);
        items.removeSystem->setEnabled(enabled);
    };
    QObject::connect(screen, &BannerScreenWidget::systemCommandsChanged, screen,
                     enableSystemItems);
    enableSystemItems(screen->systemCommandsEnabled());

    list.LoadBannerList();
    screen->autoSizeColumns();
    return screen;
}

} // namespace kvorn
