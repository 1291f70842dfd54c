// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn::test {

/// A small tmpfs mounted on a folder for the length of a test: a real file system that can
/// be filled up or made read-only. Mounting needs root (as CI runs); `mounted()` says
/// whether it worked, and tests skip without it.
class Tmpfs
{
public:
    Tmpfs(const QString &folder, int kibibytes);
    ~Tmpfs();
    Tmpfs(const Tmpfs &) = delete;
    Tmpfs &operator=(const Tmpfs &) = delete;

    bool mounted() const { return m_mounted; }
    /// Fills the file system with a filler file until only `freeBytes` (rounded to pages)
    /// remain free.
    bool fill(qint64 freeBytes);
    /// Makes the file system read-only, and writable again.
    bool makeReadOnly();
    bool makeWritable();
    /// Takes away what `fill` put there.
    bool freeUp();

private:
    QString m_folder;
    bool m_mounted = false;
};

} // namespace kvorn::test
