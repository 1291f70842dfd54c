// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kvorn {

/// Why a fetched update file may or may not be run.
enum class SignatureCheck
{
    Verified,
    NoKey,
    MissingSignature,
    BadSignature,
    Unreadable,
};

/// Checks the detached Ed25519 signature `<file>.sig` (64 raw bytes) of a fetched update
/// file against the maker's 32-byte public key. Anything but Verified means the file must
/// not run: the caller deletes it.
SignatureCheck checkUpdateSignature(const QString &filePath, const QByteArray &publicKey);

/// The public key from its hexadecimal form as the build hands it in; empty when the text
/// is not 64 hex digits.
QByteArray publicKeyFromHex(const QString &hex);

/// Whether the update file name the server names may be fetched into the program folder:
/// a plain file name of at most 100 letters, digits, ".", "_", "+" and "-" (not starting
/// with "." or "-"), not a signature, none of the program's own files (case ignored).
bool isAcceptableUpdateFileName(const QString &name, const QStringList &ownFiles);

/// The names of the files the program keeps in its folder.
QStringList programOwnFileNames();

} // namespace kvorn
