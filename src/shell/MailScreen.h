#pragma once

#include <QWidget>

class QPlainTextEdit;
class QTimer;
class QTreeView;

namespace kvorn {

class MailCheck;
class MessageListModel;
class MainWindow;

/// The mail filter screen: the mail list `lvMailList` (eleven columns, check marks) and the
/// status box `txtMStatus`. The rows live in `MessageListModel`, the dialogue in `MailCheck`.
class MailScreenView : public QWidget
{
    Q_OBJECT

public:
    MailScreenView(MailCheck &check, MessageListModel &list, QWidget *parent = nullptr);

    QTreeView *view() const { return m_view; }
    QPlainTextEdit *statusBox() const { return m_status; }
    /// Sizes every column to the wider of its header and its contents.
    void autoSizeColumns();

private:
    void showStatus(const QString &text);
    void syncSelection(int row);

    MailCheck &m_check;
    MessageListModel &m_list;
    QTreeView *m_view;
    QPlainTextEdit *m_status;
    QTimer *m_fitLater;
};

/// Puts the mail screen on the main window and binds "&Check New Mail" and "&Stop Mail "
/// of the Mail menu to the check.
MailScreenView *installMailScreen(MainWindow &window, MailCheck &check, MessageListModel &list);

} // namespace kvorn
