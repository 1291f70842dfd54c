// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>

namespace kvorn::test {

/// A throwaway CA and one server certificate it signed, made with the openssl program in
/// a folder of the test's own; nothing of it outlives the test.
class TestCertificates
{
public:
    /// True when the openssl program is installed.
    static bool available();

    /// Makes the CA and a server certificate whose subjectAltName is `subjectAltName`
    /// ("IP:127.0.0.1", "DNS:wrong.test"), in `folder`. False (error set) on failure.
    bool make(const QString &folder, const QString &subjectAltName, QString *error = nullptr);

    QString caFile() const { return m_folder + QStringLiteral("/ca.pem"); }
    QString certificateFile() const { return m_folder + QStringLiteral("/cert.pem"); }
    QString keyFile() const { return m_folder + QStringLiteral("/key.pem"); }

    QSslCertificate ca() const;
    QSslCertificate certificate() const;
    QSslKey key() const;
    /// The client side: the default configuration, trusting this CA alone.
    QSslConfiguration trustingConfiguration() const;

private:
    QString m_folder;
};

} // namespace kvorn::test
