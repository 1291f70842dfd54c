// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MergeWindows.h"

#include "update/DownloadMerge.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kvorn {

namespace {
// The counters move visibly, yet painting every line would cost more than the merge.
constexpr int kPaintIntervalMs = 50;

QLabel *valueLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QLatin1String(name));
    return label;
}
} // namespace

MergeCounterLabels::MergeCounterLabels(QWidget *parent)
{
    auto *form = new QFormLayout;
    m_downloaded = valueLabel("lblDownloaded", parent);
    m_added = valueLabel("lblAdded", parent);
    m_skipped = valueLabel("lblSkipped", parent);
    m_tooBroad = valueLabel("lblTooBroad", parent);
    m_malformed = valueLabel("lblMalformed", parent);
    form->addRow(QStringLiteral("Downloaded:"), m_downloaded);
    form->addRow(QStringLiteral("Added:"), m_added);
    form->addRow(QStringLiteral("Skipped:"), m_skipped);
    form->addRow(QStringLiteral("Refused as too broad:"), m_tooBroad);
    form->addRow(QStringLiteral("Refused as malformed:"), m_malformed);
    m_layout = form;
}

void MergeCounterLabels::show(const MergeCounters &counters)
{
    m_downloaded->setText(QString::number(counters.downloaded));
    m_added->setText(QString::number(counters.added));
    m_skipped->setText(QString::number(counters.skipped));
    m_tooBroad->setText(QString::number(counters.tooBroad));
    m_malformed->setText(QString::number(counters.malformed));
}

PopupMergeWindow::PopupMergeWindow(PopupUpdateMerge &merge, QWidget *parent)
    : QDialog(parent), m_counters(this)
{
    setObjectName(QStringLiteral("frmPopDownload"));
    setWindowTitle(QStringLiteral("Merge Popup Lists"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_counters.layout());
    m_painted.start();
    connect(&merge, &PopupUpdateMerge::countersChanged, this,
            [this](const MergeCounters &counters) {
                m_counters.show(counters);
                if (m_painted.elapsed() >= kPaintIntervalMs && isVisible()) {
                    repaint();
                    m_painted.restart();
                }
            });
}

MailMergeWindow::MailMergeWindow(MailDownloadMerge &merge, QWidget *parent)
    : QDialog(parent), m_counters(this)
{
    setObjectName(QStringLiteral("frmMailDownloadMerge"));
    setWindowTitle(QStringLiteral("Merge Mail Download"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_title = new QLabel(QStringLiteral("Loading Add List"), this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    m_file = new QLabel(this);
    m_file->setObjectName(QStringLiteral("lblFile"));
    m_file->setMinimumWidth(320);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    auto *file = new QFormLayout;
    file->addRow(QStringLiteral("File:"), m_file);
    layout->addLayout(file);
    layout->addLayout(m_counters.layout());
    m_painted.start();
    connect(&merge, &MailDownloadMerge::titleChanged, this, [this](const QString &text) {
        m_title->setText(text);
        repaintNow(true);
    });
    connect(&merge, &MailDownloadMerge::fileChanged, this, [this](const QString &text) {
        m_file->setText(text);
        repaintNow(false);
    });
    connect(&merge, &MailDownloadMerge::countersChanged, this,
            [this](const MergeCounters &counters) {
                m_counters.show(counters);
                repaintNow(false);
            });
}

void MailMergeWindow::repaintNow(bool always)
{
    if (!isVisible() || (!always && m_painted.elapsed() < kPaintIntervalMs))
        return;
    repaint();
    m_painted.restart();
}

} // namespace kvorn
