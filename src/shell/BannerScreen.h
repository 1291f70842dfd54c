#pragma once

#include <QWidget>

class QPushButton;
class QTreeView;

namespace kvorn {

class BannerList;
class MainWindow;
class Prompt;
struct Options;

/// The banner blocker screen: the group list `lvBanner` with its check boxes and the
/// buttons "Apply" and "Cancel". The rows and every command live in `BannerList`.
class BannerScreenWidget : public QWidget
{
    Q_OBJECT

public:
    BannerScreenWidget(BannerList &list, Prompt &prompt, Options &options, QWidget *parent = nullptr);

    QTreeView *view() const { return m_view; }

    /// "Apply" and "&Apply Changes"; a failure is shown and leaves the rows as they are.
    void applyChanges();
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
    bool m_columnsSized = false;
};

/// Puts the banner screen on the main window, binds the "&Banners Servers" menu and
/// File > "&Load..." > "Banner Server List", and loads the list from "banner.kbl".
BannerScreenWidget *installBannerScreen(MainWindow &window, BannerList &list, Prompt &prompt,
                                  Options &options);

} // namespace kvorn
