// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailLists.h"

#include "core/DateText.h"
#include "mail/MailListText.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFileInfo>

namespace kvorn {

namespace {

// The check mark field read as a number (leading digits, as a hand-edited "1 " or "-1"
// gives); "True" is taken too. Anything else is inactive.
bool activeFromText(const QString &field)
{
    const QString text = field.trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    qsizetype end = 0;
    while (end < text.size() &&
           (text.at(end).isDigit() || text.at(end) == QLatin1Char('.') ||
            (end == 0 && (text.at(0) == QLatin1Char('-') || text.at(0) == QLatin1Char('+')))))
        ++end;
    bool ok = false;
    const double value = text.left(end).toDouble(&ok);
    return ok && value != 0.0;
}

// One entry from the fields of a line. A line without the separator is taken as an
// address on its own (a list typed by hand, one address per line); a blank one is none.
std::optional<MailListEntry> entryFromFields(const QStringList &fields, const QString &today)
{
    if (fields.isEmpty())
        return std::nullopt;
    if (fields.size() == 1) {
        if (fields.first().trimmed().isEmpty())
            return std::nullopt;
        return MailListEntry{true, fields.first(), mailListNoDateText(), today};
    }
    MailListEntry e;
    e.Active = activeFromText(fields.at(0));
    e.Address = fields.at(1);
    e.LastHit = fields.size() > 2 ? fields.at(2) : mailListNoDateText();
    e.Added = fields.size() > 3 ? fields.at(3) : today;
    return e;
}

} // namespace

MailLists::MailLists(QString programFolder, const Clock &clock, QObject *parent)
    : QObject(parent), m_programFolder(std::move(programFolder)), m_clock(clock)
{
    watchForChanges(m_blacklist, m_blacklistChanged);
    watchForChanges(m_friends, m_friendsChanged);
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(kSaveDelayMs);
    connect(&m_saveSoon, &QTimer::timeout, this, [this] { Q_EMIT autoSaved(saveChangedLists()); });
}

void MailLists::watchForChanges(MailListEntryModel &list, bool &changed)
{
    // Whatever added, edited or removed the entry (the mail list's menu, the options
    // window, a command yet to come), it is on the disk a moment later. Loading the file
    // resets the model, which is no change.
    const auto mark = [this, &changed] {
        changed = true;
        // Not restarted by a later change: that would put off the first one without end.
        if (!m_saveSoon.isActive())
            m_saveSoon.start();
    };
    connect(&list, &QAbstractItemModel::rowsInserted, this, mark);
    connect(&list, &QAbstractItemModel::rowsRemoved, this, mark);
    connect(&list, &QAbstractItemModel::dataChanged, this,
            [mark](const QModelIndex &from, const QModelIndex &to) {
                if (from.column() == MailListEntryModel::kLastHitColumn &&
                    to.column() == MailListEntryModel::kLastHitColumn)
                    return;
                mark();
            });
}

QString MailLists::saveChangedLists()
{
    m_saveSoon.stop();
    QStringList errors;
    for (const auto &[changed, which] :
         {std::pair{m_blacklistChanged, QStringLiteral("Blacklist")},
          std::pair{m_friendsChanged, QStringLiteral("Whitelist")}}) {
        if (!changed)
            continue;
        const WriteResult result = SaveMailList(which);
        if (!result)
            errors.append(result.error);
    }
    return errors.join(QLatin1Char('\n'));
}

QString MailLists::todayText() const
{
    return shortDateText(m_clock.now().date());
}

QString MailLists::listFilePath(const QString &fileName) const
{
    const QDir folder(m_programFolder);
    if (!folder.exists(fileName)) {
        // Name filters ignore letter case: "MAIL.MBL" copied from elsewhere still counts.
        const QStringList found = folder.entryList({fileName}, QDir::Files);
        for (const QString &name : found) {
            if (name.compare(fileName, Qt::CaseInsensitive) == 0)
                return folder.filePath(name);
        }
    }
    return folder.filePath(fileName);
}

std::optional<std::vector<MailListEntry>>
MailLists::readList(const QString &fileName, bool skipRepeats, const Progress &progress) const
{
    std::vector<MailListEntry> entries;
    const QString path = listFilePath(fileName);
    const auto lines = readFieldLines(path);
    if (!lines) {
        if (QFileInfo::exists(path))
            return std::nullopt;
        return entries;
    }
    const QString today = todayText();
    entries.reserve(std::size_t(lines->size()));
    int counter = 0;
    QString previous;
    bool hasPrevious = false;
    for (const QStringList &fields : *lines) {
        ++counter;
        std::optional<MailListEntry> e = entryFromFields(fields, today);
        if (!e)
            continue;
        const bool repeat = skipRepeats && hasPrevious && e->Address == previous;
        previous = e->Address;
        hasPrevious = true;
        if (repeat)
            continue;
        entries.push_back(std::move(*e));
        if (progress && counter % 100 == 0)
            progress(counter);
    }
    return entries;
}

QString MailLists::LoadMailLists(const Progress &progress)
{
    m_blacklist.clear();
    if (progress)
        progress(0);
    auto black = readList(blacklistFileName(), true, progress);
    auto friends = readList(friendsFileName(), false, {});
    m_blacklistUnread = !black;
    m_friendsUnread = !friends;
    m_blacklist.setEntries(black ? std::move(*black) : std::vector<MailListEntry>{});
    m_friends.setEntries(friends ? std::move(*friends) : std::vector<MailListEntry>{});
    // What is in memory now is what the files hold.
    m_blacklistChanged = false;
    m_friendsChanged = false;

    QStringList unread;
    if (m_blacklistUnread)
        unread.append(listFilePath(blacklistFileName()));
    if (m_friendsUnread)
        unread.append(listFilePath(friendsFileName()));
    if (unread.isEmpty())
        return {};
    return QStringLiteral("Could not read %1. The list stays empty in this session, and the "
                          "file is kept as it is.")
        .arg(unread.join(QStringLiteral(" and ")));
}

WriteResult MailLists::SaveMailList(const QString &which)
{
    const bool black = which == QLatin1String("Blacklist");
    const MailListEntryModel &model = black ? m_blacklist : m_friends;
    const QString path = listFilePath(black ? blacklistFileName() : friendsFileName());
    // The entries of a file that could not be read are not in memory: writing would
    // lose them. Once the file is gone, the list may be saved again.
    if ((black ? m_blacklistUnread : m_friendsUnread) && QFileInfo::exists(path))
        return {QStringLiteral("%1 was not read at start, so it is not overwritten.").arg(path)};
    QList<QStringList> lines;
    lines.reserve(model.count());
    for (const MailListEntry &e : model.entries()) {
        lines.append(
            {e.Active ? QStringLiteral("1") : QStringLiteral("0"), e.Address, e.LastHit, e.Added});
    }
    WriteResult result = writeFieldLines(path, lines);
    if (result)
        (black ? m_blacklistChanged : m_friendsChanged) = false;
    return result;
}

bool MailLists::IsInMailList(MailListEntryModel &list, const QString &address, const QString &extra)
{
    if (list.count() == 0)
        return false;
    const QString today = todayText();
    std::optional<MailListHit> hit =
        list.lookUp(mailListAddress(address), MailListPass::Address, today);
    if (!hit && !extra.isEmpty())
        hit = list.lookUp(extra, MailListPass::Extra, today);
    if (!hit)
        return false;
    m_killEntry = hit->killEntry;
    return true;
}

bool MailLists::IsInMailList(MailListKind kind, const QString &address, const QString &extra)
{
    return IsInMailList(list(kind), address, extra);
}

bool MailLists::MatchesMailRow(const MailRowState &row, const QString &pattern)
{
    return kvorn::MatchesMailRow(row.marked, row.from, pattern, &m_killEntry);
}

MailListAddition MailLists::addFromSender(MailListAddCommand command, const QString &sender)
{
    MailListAddition a;
    a.command = command;
    std::optional<QString> entry;
    switch (command) {
    case MailListAddCommand::AddressToFriends:
    case MailListAddCommand::AddressToBlacklist:
        entry = senderAddress(sender);
        break;
    case MailListAddCommand::DomainToFriends:
        entry = friendsDomainEntry(sender);
        break;
    case MailListAddCommand::DomainToBlacklist:
        entry = blacklistDomainEntry(sender);
        break;
    }
    const bool friends = command == MailListAddCommand::AddressToFriends ||
                         command == MailListAddCommand::DomainToFriends;
    a.list = friends ? MailListKind::Friends : MailListKind::Blacklist;
    // An empty address, or one of blanks alone, is nothing a list could use.
    if (!entry || entry->trimmed().isEmpty())
        return a;
    a.entry = *entry;
    a.unmarkSelectedRow = friends;
    a.markMatchingRows = !friends;
    a.status = friends ? QStringLiteral("Friend") : QStringLiteral("Blacklist");
    a.blacklistText = friends ? QStringLiteral("False") : a.entry;
    const QString today = todayText();
    list(a.list).append(MailListEntry{true, a.entry, today, today});
    return a;
}

QList<int> MailLists::rowsMatchingAddition(const MailListAddition &addition,
                                           const std::vector<MailRowState> &rows, int selectedRow)
{
    QList<int> matching;
    if (!addition.added())
        return matching;
    for (int i = 0; i < int(rows.size()); ++i) {
        MailRowState row = rows[std::size_t(i)];
        if (i == selectedRow && addition.unmarkSelectedRow)
            row.marked = false;
        if (MatchesMailRow(row, addition.entry))
            matching.append(i);
    }
    return matching;
}

QString MailLists::caption(MailListAddCommand command)
{
    switch (command) {
    case MailListAddCommand::AddressToFriends:
        return QStringLiteral("Add Address to Friends (A)");
    case MailListAddCommand::DomainToFriends:
        return QStringLiteral("Add Entire Domain to Friends");
    case MailListAddCommand::AddressToBlacklist:
        return QStringLiteral("Add Address to Blacklist");
    case MailListAddCommand::DomainToBlacklist:
        break;
    }
    return QStringLiteral("Add Entire Domain to Blacklist (B)");
}

} // namespace kvorn
