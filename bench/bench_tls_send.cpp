// Measures what TLS costs a group send: the whole run (store, run, SMTP
// client) over STARTTLS with a login, beside the same run in plain SMTP, both
// against a local sink server in the same process run, alternating, with the
// median of several rounds of each.
#include "BenchStore.h"
#include "SilentStatus.h"
#include "connection/NetworkManagerBackend.h"
#include "send/GroupSend.h"
#include "send/SendComponents.h"
#include "store/DM_Databaser.h"
#include "support/MemorySecretStore.h"
#include "support/ScriptedSmtpServer.h"
#include "support/TestCertificates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr int Members = 5000;
constexpr int Rounds = 5;
const QStringList Body(16, QString(62, u'x')); // a 1 KB body

// Sends per second of one run over the group.
double runRate(TDM_Databaser &dm, quint16 port, const QString &security)
{
    TSendComponents components(std::make_unique<NetworkManagerBackend>());
    auto vault = std::make_shared<MemorySecretStore::Vault>();
    vault->secrets.insert(TSmtpLogin::KeyFor("localhost", "ann"), "bench password");
    components.Login.setStore(std::make_unique<MemorySecretStore>(vault));
    TMailerSettings settings;
    settings.FSmtpServer = "localhost";
    settings.FSmtpPort = QString::number(port);
    settings.FUserName = "Ann";
    settings.FUserEmail = "ann@example.org";
    settings.FSmtpSecurity = security;
    settings.FSmtpUser = security == "NONE" ? QString() : QStringLiteral("ann");
    SilentStatus status;
    TGroupSend run(dm, components, settings, status);
    QElapsedTimer timer;
    timer.start();
    run.StartConnection({"Bench", "Bench", {}, Body});
    return Members / (timer.nsecsElapsed() / 1e9);
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestCertificates certificates;
    const TestCertificates::Server certificate = certificates.server("localhost", {"localhost"});
    if (!certificates.error().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(certificates.error()));
        return 1;
    }
    const TestCertificates::TrustScope trust(certificates.caFile());

    BenchStore::Workspace workspace;
    TDM_Databaser &dm = workspace.dm();
    const QString folder = workspace.folder();
    BenchStore::fillGroup(dm, "Bench", Members);
    dm.ta_Group.Refresh();

    ScriptedSmtpServer plain;
    plain.setCapture(false);
    ScriptedSmtpServer secure;
    secure.setCapture(false);
    secure.setTls(certificate.certificateFile, certificate.keyFile, false);
    // One reply for both greetings of every session: the client no longer
    // looks for STARTTLS once encrypted.
    secure.script("EHLO", "250-localhost\r\n250-STARTTLS\r\n250 AUTH PLAIN");
    secure.script("AUTH", "235 2.7.0 accepted");

    std::vector<double> plainRates;
    std::vector<double> tlsRates;
    for (int round = 0; round < Rounds; ++round) {
        plainRates.push_back(runRate(dm, plain.port(), "NONE"));
        tlsRates.push_back(runRate(dm, secure.port(), "STARTTLS"));
    }
    if (secure.messageCount() != Members * Rounds || plain.messageCount() != Members * Rounds) {
        std::fprintf(stderr, "not every message arrived: %d plain, %d over TLS of %d\n", plain.messageCount(),
                     secure.messageCount(), Members * Rounds);
        return 1;
    }
    const double plainRate = BenchStore::median(plainRates);
    const double tlsRate = BenchStore::median(tlsRates);
    std::printf("%d members, 1 KB message, median of %d runs: STARTTLS with login %.0f sends/s, "
                "plain SMTP %.0f sends/s (%.0f%%)\n",
                Members, Rounds, tlsRate, plainRate, 100.0 * tlsRate / plainRate);
    return 0;
}
