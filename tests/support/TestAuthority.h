#pragma once

// A certificate authority of a test's own, as a school's: it signs the
// server's certificate (for localhost and 127.0.0.1) and each computer's
// client certificate, whose common name is the computer's role.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace quiltaro::test {

class TestAuthority {
public:
    // In `folder`: ca.crt and ca.key, then NAME.crt and NAME.key for each
    // certificate signed.
    explicit TestAuthority(QString folder) : d_(std::move(folder) + QLatin1Char('/')) {}

    bool make() {
        return openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d_ + "ca.key",
                        "-out", d_ + "ca.crt", "-days", "2", "-subj",
                        "/CN=Autorite de test Quiltaro"});
    }
    QString certificate() const { return d_ + QStringLiteral("ca.crt"); }

    // The server's: NAME.crt for localhost.
    bool signServer(const QString& name) {
        return sign(name, QStringLiteral("localhost"),
                    QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1\n"));
    }
    // A computer's: NAME.crt whose common name is `role`, as `cert`
    // authentication matches it; its key mode 0600.
    bool signClient(const QString& name, const QString& role) {
        return sign(name, role, QStringLiteral("extendedKeyUsage=clientAuth\n")) &&
               QFile::setPermissions(d_ + name + ".key", QFile::ReadOwner | QFile::WriteOwner);
    }

private:
    bool sign(const QString& name, const QString& commonName, const QString& extensions) {
        QFile ext(d_ + name + ".ext");
        if (!ext.open(QIODevice::WriteOnly) || ext.write(extensions.toUtf8()) < 0)
            return false;
        ext.close();
        const QString key = d_ + name + ".key", csr = d_ + name + ".csr";
        return openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr,
                        "-subj", "/CN=" + commonName}) &&
               openssl({"x509", "-req", "-in", csr, "-CA", d_ + "ca.crt", "-CAkey", d_ + "ca.key",
                        "-CAcreateserial", "-out", d_ + name + ".crt", "-days", "2", "-extfile",
                        ext.fileName()});
    }
    static bool openssl(const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels); // its progress dots: not wanted
        p.start(QStringLiteral("openssl"), args);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    QString d_;
};

} // namespace quiltaro::test
