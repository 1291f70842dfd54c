// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/KillHistory.h"

#include <QWidget>
#include <optional>

namespace kvorn {

/// Bars of the kills per day (last 30 days) and per month (last 12 months), popups and
/// mail side by side, from the kill log.
class KillChart : public QWidget
{
    Q_OBJECT

public:
    explicit KillChart(QWidget *parent = nullptr);

    void setHistory(const KillHistory &history);
    const std::optional<KillHistory> &history() const { return m_history; }
    /// The line under the bars ("from k-vorn.log", or why there is nothing).
    QString note() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<KillHistory> m_history;
};

} // namespace kvorn
