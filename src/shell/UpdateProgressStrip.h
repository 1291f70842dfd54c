// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace kvorn {

struct FtpTransferState;
struct InternetStatusAction;
class UpdateStatusLog;

/// The progress strip of the update dialog (`tbFlood`): a white strip that shows one
/// text, the progress of a fetch as a navy bar with the text inverted inside it, or the
/// result of a transfer in its colour.
class UpdateProgressStrip : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor kNavy{0, 0, 128};
    static inline const QColor kDarkGreen{61, 99, 58};
    static inline const QColor kDarkRed{133, 39, 61};

    explicit UpdateProgressStrip(QWidget *parent = nullptr);

    /// Starts a fetch of `total` bytes: the strip is cleared, shown, and keeps the message.
    void FloodDisplay(double total, const QString &message);
    /// The message with the percentage done, and the bar up to `done`. Nothing changes when
    /// `done` is beyond `total`. Without a size to measure against (0 bytes) the message
    /// is shown alone.
    void FloodUpdateTextPC(double total, double done);
    /// A text alone, navy on white.
    void FloodShowConnectAction(const QString &text);
    /// "Transfer of NAME completed successfully." in dark green, or "… failed." in dark red,
    /// over the whole strip.
    void FloodShowTransferResult(bool success, const QString &fileName);

    /// What the strip shows now.
    QString text() const { return m_text; }
    /// The message FloodDisplay keeps.
    QString message() const { return m_message; }
    /// How much of the width the bar covers, 0 to 1.
    double barFraction() const { return m_bar; }
    QColor foreground() const { return m_fore; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void clear();

    QString m_message;
    QString m_text;
    double m_scale = 1;
    double m_bar = 0;
    QColor m_fore = kNavy;
};

/// Shows what one status event means (see OnInternetStatus) on the strip and in the
/// status log: the progress first, then the strip's text, then the status line.
void ShowInternetStatus(const InternetStatusAction &action, const FtpTransferState &state,
                        UpdateProgressStrip &strip, UpdateStatusLog &log);

} // namespace kvorn
