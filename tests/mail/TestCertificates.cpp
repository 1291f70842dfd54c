// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace kvorn::test {

namespace {
QString opensslProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("openssl"));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool run(const QStringList &arguments, QString *error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(opensslProgram(), arguments);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error =
                QStringLiteral("openssl %1: %2")
                    .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}
} // namespace

bool TestCertificates::available()
{
    return !opensslProgram().isEmpty();
}

bool TestCertificates::make(const QString &folder, const QString &subjectAltName, QString *error)
{
    m_folder = folder;
    const QString caKey = folder + QStringLiteral("/ca.key");
    const QString request = folder + QStringLiteral("/server.csr");
    const QString extensions = folder + QStringLiteral("/server.ext");
    {
        QFile ext(extensions);
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write("basicConstraints = critical, CA:FALSE\n"
                  "keyUsage = critical, digitalSignature\n"
                  "extendedKeyUsage = serverAuth\n"
                  "subjectAltName = " +
                  subjectAltName.toUtf8() + '\n');
    }
    // Elliptic-curve keys: made in milliseconds, where RSA keys would cost the test seconds.
    const QStringList ecKey = {
        QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
        QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    return run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey +
                   QStringList{QStringLiteral("-days"), QStringLiteral("2"),
                               QStringLiteral("-subj"), QStringLiteral("/CN=K-Vorn Test CA"),
                               QStringLiteral("-addext"),
                               QStringLiteral("basicConstraints=critical,CA:TRUE"),
                               QStringLiteral("-addext"),
                               QStringLiteral("keyUsage=critical,keyCertSign,cRLSign"),
                               QStringLiteral("-keyout"), caKey, QStringLiteral("-out"), caFile()},
               error) &&
           run(QStringList{QStringLiteral("req")} + ecKey +
                   QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=K-Vorn test server"),
                               QStringLiteral("-keyout"), keyFile(), QStringLiteral("-out"),
                               request},
               error) &&
           run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                QStringLiteral("-CA"), caFile(), QStringLiteral("-CAkey"), caKey,
                QStringLiteral("-set_serial"), QStringLiteral("2"), QStringLiteral("-days"),
                QStringLiteral("2"), QStringLiteral("-extfile"), extensions, QStringLiteral("-out"),
                certificateFile()},
               error);
}

QSslCertificate TestCertificates::ca() const
{
    return QSslCertificate(readAll(caFile()), QSsl::Pem);
}

QSslCertificate TestCertificates::certificate() const
{
    return QSslCertificate(readAll(certificateFile()), QSsl::Pem);
}

QSslKey TestCertificates::key() const
{
    return QSslKey(readAll(keyFile()), QSsl::Ec, QSsl::Pem);
}

QSslConfiguration TestCertificates::trustingConfiguration() const
{
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    c.setCaCertificates({ca()});
    return c;
}

} // namespace kvorn::test
