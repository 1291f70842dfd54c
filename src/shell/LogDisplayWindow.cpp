// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/LogDisplayWindow.h"

#include "log/KillLogModels.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace kvorn {

/// A reading shared by its thread and the window: how far it got, and its cancel flag.
struct LogReading
{
    KillLogProgress progress;
    QElapsedTimer since;
};

namespace {
// 2160 twips.
constexpr int kMinHeightPx = 144;
// Progress shows only for a reading that takes a while.
constexpr int kProgressAfterMs = 100;
constexpr int kProgressTickMs = 50;

/// Frees records on a thread of their own: half a million texts take tens of
/// milliseconds to free, which the window would otherwise spend blocked.
void releaseInBackground(KillLogRecords records)
{
    if (records.records.isEmpty() && records.texts.size() <= 1)
        return;
    QThread *thread = QThread::create([records = std::move(records)]() mutable {
        records = KillLogRecords();
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}

QTreeView *makeList(QWidget *parent, const QString &name, QAbstractItemModel *model)
{
    auto *view = new QTreeView(parent);
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setModel(model);
    view->setSortingEnabled(true);
    return view;
}
} // namespace

LogDisplayWindow::LogDisplayWindow(QString logFile, QString kind, bool autoColumn, QWidget *parent)
    : QDialog(parent), m_logFile(std::move(logFile)), m_kind(std::move(kind)),
      m_autoColumn(autoColumn)
{
    setObjectName(QStringLiteral("frmLogDisplay"));
    setWindowTitle(QStringLiteral("Log File Display"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setSizeGripEnabled(true);
    setMinimumHeight(kMinHeightPx);
    resize(560, 360);

    m_records = new KillLogRecordModel(this);
    m_counts = new KillLogCountModel(this);
    m_recordView = makeList(this, QStringLiteral("lvLogDisplay"), m_records);
    m_recordView->sortByColumn(2, Qt::AscendingOrder);
    m_countView = makeList(this, QStringLiteral("lvAnalyse"), m_counts);
    m_countView->sortByColumn(1, Qt::AscendingOrder);
    m_countView->hide();

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_message->hide();
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbReading"));
    m_progress->setRange(0, 1000);
    m_progress->hide();
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressTickMs);
    connect(m_progressTimer, &QTimer::timeout, this, &LogDisplayWindow::updateProgress);

    m_analyse = new QPushButton(QStringLiteral("Analyse"), this);
    m_analyse->setObjectName(QStringLiteral("cmdAnalyse"));
    auto *exit = new QPushButton(QStringLiteral("E&xit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    connect(m_analyse, &QPushButton::clicked, this, &LogDisplayWindow::analyseClicked);
    connect(exit, &QPushButton::clicked, this, &QDialog::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addStretch();
    buttons->addWidget(m_analyse);
    buttons->addWidget(exit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_recordView, 1);
    layout->addWidget(m_countView, 1);
    layout->addLayout(buttons);

    start(false);
}

LogDisplayWindow::~LogDisplayWindow()
{
    cancelReading();
    releaseInBackground(m_records->takeRecords());
}

LogDisplayWindow *LogDisplayWindow::open(const QString &logFile, const QString &kind,
                                         bool autoColumn, QWidget *parent)
{
    // One window per kind: a window reused for the other kind would show the first
    // kind's rows until it had read the log again.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *window = qobject_cast<LogDisplayWindow *>(w);
        if (window && window->kind() == kind && window->m_logFile == logFile) {
            window->showAnalysis(false);
            window->reload();
            window->show();
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    auto *window = new LogDisplayWindow(logFile, kind, autoColumn, parent);
    window->show();
    return window;
}

void LogDisplayWindow::reload()
{
    start(false);
}

void LogDisplayWindow::cancelReading()
{
    if (m_reading)
        m_reading->progress.cancel = true;
    m_reading.reset();
    m_progressTimer->stop();
    m_progress->hide();
}

void LogDisplayWindow::clearRecords()
{
    ++m_generation; // ranks on their way are for the records going
    releaseInBackground(m_records->takeRecords());
}

void LogDisplayWindow::start(bool analyse)
{
    cancelReading();
    auto reading = std::make_shared<LogReading>();
    auto result = std::make_shared<KillLogRead>();
    reading->since.start();
    m_reading = reading;
    m_analyse->setEnabled(false);
    m_message->hide();
    // The thread keeps its own references, so the window may close while it reads; the
    // cancel flag then ends it at the next chunk.
    QThread *thread = QThread::create([path = m_logFile, kind = m_kind, analyse, reading, result] {
        *result = readKillLogFile(path, kind, analyse, &reading->progress);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, analyse, reading, result] {
        if (m_reading == reading)
            finished(analyse, result);
    });
    thread->start(QThread::LowPriority);
    m_progress->setValue(0);
    m_progressTimer->start();
}

void LogDisplayWindow::updateProgress()
{
    if (!m_reading || m_reading->since.elapsed() < kProgressAfterMs)
        return;
    const qint64 total = m_reading->progress.total.load();
    const qint64 done = m_reading->progress.done.load();
    if (total > 0) {
        m_progress->setValue(int(done * 1000 / total));
        m_progress->show();
    }
}

void LogDisplayWindow::finished(bool analyse, std::shared_ptr<KillLogRead> result)
{
    cancelReading();
    m_analyse->setEnabled(true);
    if (!result->error.isEmpty()) {
        m_message->setText(QStringLiteral("The log file cannot be read: %1").arg(result->error));
        m_message->show();
    }
    if (analyse) {
        m_counts->setCounts(std::move(result->counts));
        showAnalysis(true);
    } else {
        // The list is filled once, at the end: each insertion into a list of many rows
        // makes it lay out all its rows again, which blocked the window for longer than
        // the one layout after filling it whole. The rows it held go to another thread to
        // be freed.
        clearRecords();
        m_records->expectRanks();
        m_records->setRecords(std::move(result->records));
        if (m_autoColumn)
            fitColumns(m_recordView);
        rankInBackground();
    }
    Q_EMIT readingFinished();
}

void LogDisplayWindow::fitColumns(QTreeView *view)
{
    // The wider of header and contents, the contents judged by the first rows as the
    // view itself would; asking the view lays out all rows first, which took a fifth of
    // a second at 700,000 records.
    constexpr int kRowsLooked = 1000;
    QAbstractItemModel *model = view->model();
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.font = view->font();
    const int rows = std::min(model->rowCount(), kRowsLooked);
    for (int c = 0; c < model->columnCount(); ++c) {
        int width = view->header()->sectionSizeHint(c);
        for (int r = 0; r < rows; ++r)
            width = std::max(width, view->itemDelegateForIndex(model->index(r, c))
                                        ->sizeHint(option, model->index(r, c))
                                        .width());
        view->setColumnWidth(c, width);
    }
}

void LogDisplayWindow::rankInBackground()
{
    // Ordering hundreds of thousands of titles takes a while: it is done before the
    // user asks for it, so a click on "Killed Item" only has to apply it.
    const int generation = ++m_generation;
    auto ranks = std::make_shared<std::vector<std::uint32_t>>();
    QThread *thread = QThread::create([texts = m_records->records().texts, ranks]() mutable {
        *ranks = KillLogRecordModel::rankTexts(texts);
        // When the window closed meanwhile this is the last reference: the texts are then
        // freed here rather than on the window's thread.
        texts = QStringList();
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, generation, ranks] {
        if (generation == m_generation)
            m_records->setRanks(std::move(*ranks));
    });
    thread->start(QThread::LowPriority);
}

void LogDisplayWindow::analyseClicked()
{
    if (m_analyse->text() == QLatin1String("List")) {
        showAnalysis(false);
        return;
    }
    start(true);
}

void LogDisplayWindow::showAnalysis(bool on)
{
    m_countView->setVisible(on);
    m_recordView->setVisible(!on);
    m_analyse->setText(on ? QStringLiteral("List") : QStringLiteral("Analyse"));
}

void LogDisplayWindow::closeEvent(QCloseEvent *event)
{
    cancelReading();
    QDialog::closeEvent(event);
}

} // namespace kvorn
