#include "update/DownloadMerge.h"

#include "core/MainController.h"
#include "core/StatusTexts.h"
#include "core/TextFile.h"
#include "mail/MailListMatch.h"
#include "mail/MailLists.h"
#include "mail/MessageListModel.h"
#include "popups/PopupLists.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace kvorn {

std::optional<QStringList> readUpdateFileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = data.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(decodeLine(QByteArrayView(data).sliced(start, i - start)));
        if (c == '\r' && i + 1 < size && data.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(decodeLine(QByteArrayView(data).sliced(start)));
    return lines;
}

QString weeklyMailListName(int weekCode)
{
    return QStringLiteral("mbl") + QString::number(weekCode) + QStringLiteral(".txt");
}

bool isWeeklyMailListName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^mbl[0-9]{1,3}\\.txt$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(fileName).hasMatch();
}

// --- popup list --------------------------------------------------------------------------

PopupUpdateMerge::PopupUpdateMerge(PopupLists &lists, MainController &controller,
                                   QString programFolder, QObject *parent)
    : QObject(parent), m_lists(lists), m_controller(controller),
      m_folder(std::move(programFolder))
{
}

bool PopupUpdateMerge::run()
{
    const QString path = QDir(m_folder).filePath(kPopupUpdateFile);
    const std::optional<QStringList> lines = readUpdateFileLines(path);
    if (!lines)
        return false;
    for (const QString &line : *lines) {
        ++m_counters.downloaded;
        const bool onlyStars = !line.isEmpty() && line.count(QLatin1Char('*')) == line.size();
        if (line.isEmpty() || onlyStars || !m_lists.AddBlackListEntry(line, true, false))
            ++m_counters.skipped;
        else
            ++m_counters.added;
        Q_EMIT countersChanged(m_counters);
    }
    // Without this the merged entries would never reach "spamlist.kbl".
    if (m_counters.added > 0)
        m_lists.setBlackListChanged(true);
    m_controller.UpdateStatusBar(PopupScreen, 1, QStringLiteral("Loading"));
    QFile::remove(path);
    return true;
}

// --- mail lists --------------------------------------------------------------------------

MailDownloadMerge::MailDownloadMerge(MailLists &lists, MessageListModel &messages,
                                     QString programFolder, QObject *parent)
    : QObject(parent), m_lists(lists), m_messages(messages), m_folder(std::move(programFolder))
{
}

QString MailDownloadMerge::normalizedEntry(const QString &line)
{
    QString entry = line.toLower();
    if (entry.startsWith(QLatin1Char('*')))
        entry.remove(0, 1);
    if (entry.startsWith(QLatin1Char('@')))
        entry.remove(0, 1);
    if (entry.isEmpty())
        return entry;
    if (entry.size() >= 7)
        entry.prepend(QLatin1Char('*'));
    return entry;
}

bool MailDownloadMerge::mailload(const QList<int> &weekCodes, const QStringList &fetchedFiles)
{
    Q_EMIT titleChanged(QStringLiteral("Loading Add List"));
    m_firstAddedRow = m_lists.blacklist().count();
    for (const int code : weekCodes)
        MailMerge(QDir(m_folder).filePath(weeklyMailListName(code)));
    Q_EMIT titleChanged(QStringLiteral("Checking For Duplicates"));
    if (m_lists.blacklist().count() == 0)
        return false;
    removeRepeats();
    if (m_anyFile) {
        for (const QString &name : fetchedFiles) {
            if (isWeeklyMailListName(name))
                QFile::remove(QDir(m_folder).filePath(name));
        }
    }
    return true;
}

void MailDownloadMerge::MailMerge(const QString &path)
{
    Q_EMIT fileChanged(path);
    if (!QFile::exists(path))
        return;
    m_anyFile = true;
    const std::optional<QStringList> lines = readUpdateFileLines(path);
    if (!lines)
        return;
    const QString today = m_lists.todayText();
    int lineNumber = 0;
    for (const QString &line : *lines) {
        ++lineNumber;
        Q_EMIT fileChanged(path + QLatin1Char(' ') + QString::number(lineNumber));
        const QString entry = normalizedEntry(line);
        ++m_counters.downloaded;
        if (entry.isEmpty()) {
            ++m_counters.skipped;
            Q_EMIT countersChanged(m_counters);
            continue;
        }
        MailListEntry added;
        added.Active = true;
        added.Address = entry;
        added.LastHit = today;
        added.Added = today;
        m_lists.blacklist().append(added);
        for (int row = 0; row < m_messages.rowCount(); ++row) {
            if (m_messages.isChecked(row))
                continue;
            if (MatchesMailRow(false, m_messages.text(row, ColFrom), entry))
                m_messages.setChecked(row, true);
        }
        ++m_counters.added;
        Q_EMIT countersChanged(m_counters);
    }
}

void MailDownloadMerge::removeRepeats()
{
    // The blacklist keeps its adding order, so a downloaded copy of an older entry is
    // never its neighbour: every later repeat goes, and the first one (the user's own,
    // with its tick and dates) stays.
    const std::vector<MailListEntry> &entries = m_lists.blacklist().entries();
    std::vector<MailListEntry> kept;
    kept.reserve(entries.size());
    QSet<QString> seen;
    int removedAdded = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (seen.contains(entries[i].Address)) {
            ++m_counters.skipped;
            if (int(i) >= m_firstAddedRow)
                ++removedAdded;
            continue;
        }
        seen.insert(entries[i].Address);
        kept.push_back(entries[i]);
    }
    if (kept.size() == entries.size())
        return;
    m_counters.added = std::max(0, m_counters.added - removedAdded);
    m_lists.blacklist().setEntries(std::move(kept));
    Q_EMIT countersChanged(m_counters);
}

} // namespace kvorn
