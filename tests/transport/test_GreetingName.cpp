#include "transport/GreetingName.h"
#include "transport/SocketException.h"
#include "transport/WSocket.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(GreetingName, AFullyQualifiedNameHasTwoLabelsOrMoreOfLettersDigitsAndInnerHyphens)
{
    for (const char *name :
         {"mail.example.org", "a.b", "pc-17.office.example.com", "host.example.org.", "x1.y2.example"})
        EXPECT_TRUE(GreetingName::isFullyQualified(QString::fromLatin1(name))) << name;
    const QString longest = QString(63, u'a') + u'.' + QString(63, u'b') + u'.' + QString(63, u'c') + u'.'
                            + QString(61, u'd'); // 253 characters
    EXPECT_TRUE(GreetingName::isFullyQualified(longest));
    for (const char *name :
         {"", "SignOn", "vm", "localhost", "localhost.localdomain", "pc.localdomain", "a..b", ".example.org",
          "-a.example.org", "a-.example.org", "under_score.example.org", "space .example.org", "192.0.2.1", "host.123"})
        EXPECT_FALSE(GreetingName::isFullyQualified(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(GreetingName::isFullyQualified(longest + u'd')) << "254 characters";
    EXPECT_FALSE(GreetingName::isFullyQualified(QString(64, u'a') + QStringLiteral(".example.org"))) << "a label of 64";
    EXPECT_FALSE(GreetingName::isFullyQualified(QString::fromUtf8("m\u00fcller.example.org")));
}

TEST(GreetingName, AnAddressIsWrittenAsALiteralIpv6MarkedAndIpv4SeenThroughIpv6AsIpv4)
{
    EXPECT_EQ(GreetingName::addressLiteral("192.0.2.1"), "[192.0.2.1]");
    EXPECT_EQ(GreetingName::addressLiteral(" 127.0.0.1 "), "[127.0.0.1]");
    EXPECT_EQ(GreetingName::addressLiteral("2001:DB8:0:0:0:0:0:1"), "[IPv6:2001:db8::1]");
    EXPECT_EQ(GreetingName::addressLiteral("::1"), "[IPv6:::1]");
    EXPECT_EQ(GreetingName::addressLiteral("::ffff:192.0.2.7"), "[192.0.2.7]");
    EXPECT_EQ(GreetingName::addressLiteral(""), "");
    EXPECT_EQ(GreetingName::addressLiteral("example.org"), "");
    EXPECT_EQ(GreetingName::addressLiteral("192.0.2"), "");
}

TEST(GreetingName, TheHostsOwnNameWhenFullyQualifiedOtherwiseTheAddressItSpeaksFrom)
{
    EXPECT_EQ(GreetingName::choose("mail.example.org", "192.0.2.1"), "mail.example.org");
    EXPECT_EQ(GreetingName::choose("mail.example.org.", "192.0.2.1"), "mail.example.org");
    EXPECT_EQ(GreetingName::choose("vm", "192.0.2.1"), "[192.0.2.1]");
    EXPECT_EQ(GreetingName::choose("SignOn", "2001:db8::5"), "[IPv6:2001:db8::5]");
    EXPECT_EQ(GreetingName::choose("localhost.localdomain", "127.0.0.1"), "[127.0.0.1]");
    EXPECT_EQ(GreetingName::choose("vm", ""), "vm") << "no address: the name is all there is";
}

namespace {

// Runs `probe` in a child process that has a host name of its own (a UTS
// namespace, which needs root) and returns what it printed; nullopt when
// the machine does not allow one.
std::optional<QByteArray> withHostName(const QByteArray &hostName, const std::function<QByteArray()> &probe)
{
    int out[2];
    if (pipe(out) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        QByteArray said = "unshare failed";
        if (unshare(CLONE_NEWUTS) == 0 && sethostname(hostName.constData(), size_t(hostName.size())) == 0) {
            try {
                said = "ok " + probe();
            } catch (const ESocketException &error) {
                said = "raised " + error.message().toUtf8();
            }
        }
        const ssize_t written = write(out[1], said.constData(), size_t(said.size()));
        _exit(written == said.size() ? 0 : 1);
    }
    close(out[1]);
    QByteArray said;
    char buffer[512];
    ssize_t got;
    while ((got = read(out[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, got);
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (said == "unshare failed")
        return std::nullopt;
    return said;
}

} // namespace

TEST(GreetingName, TheLocalHostNameIsReadWholeUpToTheLongestTheSystemAllows)
{
    const auto hostName = [] { return TWSocket::LocalHostName().toLatin1(); };
    for (const int length : {1, 62, 63, 64}) {
        const QByteArray name(length, 'h');
        const std::optional<QByteArray> said = withHostName(name, hostName);
        if (!said)
            GTEST_SKIP() << "no host name of its own for a test process here (needs root)";
        EXPECT_EQ(*said, "ok " + name) << length;
    }
}

TEST(GreetingName, AMachineNamedWithoutADomainGreetsWithItsAddress)
{
    const auto greeting = [] { return GreetingName::forConnection("192.0.2.9").toLatin1(); };
    const std::optional<QByteArray> bare = withHostName("vm", greeting);
    if (!bare)
        GTEST_SKIP() << "no host name of its own for a test process here (needs root)";
    EXPECT_EQ(*bare, "ok [192.0.2.9]");
    EXPECT_EQ(withHostName("relay.example.org", greeting), "ok relay.example.org");
    const QByteArray longest = QByteArray(30, 'a') + '.' + QByteArray(33, 'b'); // 64 characters
    EXPECT_EQ(withHostName(longest, greeting), "ok " + longest);
}
