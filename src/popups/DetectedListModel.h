// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/RowVectorModel.h"

#include <cstdint>

namespace kvorn {

/// One browser window found by the window survey.
struct DetectedEntry
{
    QString text;             ///< the window's title as the survey read it
    QString key;              ///< the handle in decimal, "x", the title
    /// "Http: Address": the address, empty while none can be read. The column shows
    /// `noAddressText()` then; lookups get the empty text, so an entry like "N/A" or "*/*"
    /// cannot cover every window that has no address.
    QString address;
    bool forcedOpen = false;  ///< first seen while the force-open key was held
    std::uint64_t handle = 0; ///< the window; 0 while a survey has not found it again

    /// What the address column shows for a window whose address cannot be read.
    static QString noAddressText() { return QStringLiteral("N/A"); }
    /// The address as the column shows it.
    QString addressShown() const { return address.isEmpty() ? noAddressText() : address; }

    static QString keyFor(std::uint64_t handle, const QString &title)
    {
        return QString::number(handle) + QLatin1Char('x') + title;
    }
};

/// The detected list (`lvMonitor`), in memory only.
class DetectedListModel : public RowVectorModel<DetectedEntry>
{
    Q_OBJECT

public:
    explicit DetectedListModel(QObject *parent = nullptr);

    const DetectedEntry &entry(int row) const { return rowAt(row); }
    int append(DetectedEntry entry);
    void removeAt(int row);
    void clear();
    /// The row with this key; -1 when none.
    int findKey(const QString &key) const;
    /// The first row whose title equals the text without regard to letter case; -1 when none.
    int exactRow(const QString &text) const;
    void setAddress(int row, const QString &address);
    void setHandle(int row, std::uint64_t handle);
    /// Sets every entry's handle to 0 (the start of a survey).
    void resetHandles();

    void selectRow(int row);
    void clearSelection();

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void selectionStateChanged();
};

} // namespace kvorn
