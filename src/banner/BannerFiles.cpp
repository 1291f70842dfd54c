#include "banner/BannerFiles.h"

#include "core/StoredValue.h"

#include <QFile>


namespace kvorn {

namespace {
const QString kStars = QStringLiteral("#***********************************************");

QString createdLine(const QString &dateText)
{
    return QStringLiteral("# Created by K-Vorn ") + bannerVersionText() + QStringLiteral(" on ") +
           dateText;
}

void appendLine(QByteArray &out, const QString &line)
{
    out.append(line.toUtf8());
    out.append("\r\n", 2);
}
} // namespace

QString bannerVersionText()
{
    const QStringList parts = QStringLiteral(KVORN_VERSION).split(QLatin1Char('.'));
    return parts.value(0) + QLatin1Char('.') + parts.value(1, QStringLiteral("0"));
}

QStringList hostsHeader(const QString &dateText)
{
    return {
        createdLine(dateText),
        kStars,
        QStringLiteral("#"),
        QStringLiteral("#    This list generalted with the help of:"),
        QStringLiteral("#    a published hosts list of advertising servers"),
        QStringLiteral("#    and custom modified with the help of K-Vorn"),
        QStringLiteral("#"),
        kStars,
        QString(),
        QStringLiteral("127.0.0.1       localhost"),
        QString(),
    };
}

QStringList bannerCopyHeader(const QString &dateText)
{
    return {
        createdLine(dateText),
        kStars,
        QStringLiteral("#"),
        QStringLiteral("#    This list generalted with the help of:"),
        QStringLiteral("#    the makers of the imported hosts list"),
        QStringLiteral("#    We appreciate there generosity in generating"),
        QStringLiteral("#    and sharing this list."),
        QStringLiteral("#"),
        kStars,
        QString(),
        QStringLiteral("127.0.0.1       localhost"),
        QString(),
    };
}

std::vector<BannerGroup> readBannerList(const QString &path)
{
    std::vector<BannerGroup> groups;
    const auto lines = readFieldLines(path);
    if (!lines)
        return groups;
    groups.reserve(lines->size());
    for (const QStringList &fields : *lines) {
        // A blank line carries no group; every other line makes a row, whatever its flag.
        if (fields.size() == 1 && fields.front().isEmpty())
            continue;
        BannerGroup group;
        group.selected = stored::toBool(fields.value(0)).value_or(false);
        group.name = fields.value(1);
        group.count = fields.value(2);
        groups.push_back(std::move(group));
    }
    return groups;
}

QByteArray bannerListBytes(const std::vector<BannerGroup> &groups)
{
    QByteArray out;
    out.reserve(qsizetype(groups.size()) * 40);
    for (const BannerGroup &group : groups) {
        out.append(group.selected ? '1' : '0');
        out.append(kFieldSeparator);
        out.append(group.name.toUtf8());
        out.append(kFieldSeparator);
        out.append(group.count.toUtf8());
        out.append("\r\n", 2);
    }
    return out;
}

QByteArray hostsBytes(const std::vector<BannerGroup> &groups, const QString &dateText)
{
    QByteArray out;
    for (const QString &line : hostsHeader(dateText))
        appendLine(out, line);
    for (const BannerGroup &group : groups) {
        if (!group.selected)
            continue;
        out.append("127.0.0.1      ", 15);
        out.append(group.name.toUtf8());
        out.append("\r\n", 2);
    }
    return out;
}

} // namespace kvorn
