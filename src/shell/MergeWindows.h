// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;

namespace kvorn {

class MailDownloadMerge;
class PopupUpdateMerge;
struct MergeCounters;

/// The counters "Downloaded:", "Added:" and "Skipped:" of the merge windows, and the
/// lines refused on sight.
class MergeCounterLabels
{
public:
    explicit MergeCounterLabels(QWidget *parent);
    QLayout *layout() const { return m_layout; }
    void show(const MergeCounters &counters);

private:
    QLayout *m_layout = nullptr;
    QLabel *m_downloaded = nullptr;
    QLabel *m_added = nullptr;
    QLabel *m_skipped = nullptr;
    QLabel *m_tooBroad = nullptr;
    QLabel *m_malformed = nullptr;
};

/// "Merge Popup Lists" (`frmPopDownload`): follows a popup list merge while it runs.
class PopupMergeWindow : public QDialog
{
    Q_OBJECT

public:
    PopupMergeWindow(PopupUpdateMerge &merge, QWidget *parent = nullptr);

private:
    MergeCounterLabels m_counters;
    QElapsedTimer m_painted;
};

/// "Merge Mail Download" (`frmMailDownloadMerge`): follows the merge of the weekly mail
/// lists: the title line, "File:" and the counters.
class MailMergeWindow : public QDialog
{
    Q_OBJECT

public:
    MailMergeWindow(MailDownloadMerge &merge, QWidget *parent = nullptr);

private:
    void repaintNow(bool always);

    QLabel *m_title = nullptr;
    QLabel *m_file = nullptr;
    MergeCounterLabels m_counters;
    QElapsedTimer m_painted;
};

} // namespace kvorn
