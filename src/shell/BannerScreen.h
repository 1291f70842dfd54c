// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPushButton;
class QTreeView;

namespace kvorn {

class BannerList;
class MainWindow;
class SystemHosts;
class Prompt;
struct Options;

/// The banner blocker screen: the group list `lvBanner` with its check boxes and the
/// buttons "Apply" and "Cancel". The rows and every command live in `BannerList`.
class BannerScreenWidget : public QWidget
{
    Q_OBJECT

public:
    BannerScreenWidget(BannerList &list, Prompt &prompt, Options &options,
                       SystemHosts *system = nullptr, QWidget *parent = nullptr);

    QTreeView *view() const { return m_view; }

    /// "Apply" and "&Apply Changes"; a failure is shown and leaves the rows as they are.
    bool applyChanges();
    /// "Apply to System": applies, then has the helper block the ticked groups' servers in
    /// /etc/hosts. Returns at once; the outcome is shown when the helper ends.
    void applyToSystem();
    /// "Remove from System": has the helper take K-Vorn's block out of /etc/hosts.
    void removeFromSystem();
    /// Whether the system commands can run now (the helper is there and not busy).
    bool systemCommandsEnabled() const;

Q_SIGNALS:
    /// The system commands became available or unavailable.
    void systemCommandsChanged(bool enabled);

public:
    /// "Cancel": back to the list as last applied.
    void cancelChanges();
    /// File > "&Load..." > "Banner Server List": the import dialog, then the list again.
    void importList();
    /// Sizes both columns to the wider of header and contents when "AutoColumn" is on.
    void autoSizeColumns();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    BannerList &m_list;
    Prompt &m_prompt;
    Options &m_options;
    QTreeView *m_view;
    QPushButton *m_apply;
    QPushButton *m_cancel;
    SystemHosts *m_system;
    QPushButton *m_applySystem;
    QPushButton *m_removeSystem;
    bool m_columnsSized = false;

    void systemFinished(bool ok, const QString &message);
    void updateSystemCommands();
};

/// Puts the banner screen on the main window, binds the "&Banners Servers" menu and
/// File > "&Load..." > "Banner Server List", and loads the list from "banner.kbl". The
/// system commands are offered when `system` finds its helper.
BannerScreenWidget *installBannerScreen(MainWindow &window, BannerList &list, Prompt &prompt,
                                  Options &options, SystemHosts *system = nullptr);

} // namespace kvorn
