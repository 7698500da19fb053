#include "send/ListHeaders.h"

#include <gtest/gtest.h>

namespace {

UnsubscribeToken tokens()
{
    return UnsubscribeToken(QByteArray(UnsubscribeToken::SecretBytes, 'a'));
}

} // namespace

TEST(ListHeaders, GroupNameBecomesALabel)
{
    EXPECT_EQ(TListHeaders::label("Friends of Jazz"), "friends-of-jazz");
    EXPECT_EQ(TListHeaders::label("  Förening, Årsmöte 2024! "), "forening-arsmote-2024");
    EXPECT_EQ(TListHeaders::label("..."), "group");
    EXPECT_EQ(TListHeaders::label(""), "group");
}

TEST(ListHeaders, OneClickOnlyForAnHttpsAddressWithTheToken)
{
    EXPECT_TRUE(TListHeaders::isOneClickTemplate("https://example.org/u?t={token}"));
    EXPECT_FALSE(TListHeaders::isOneClickTemplate("http://example.org/u?t={token}"));
    EXPECT_FALSE(TListHeaders::isOneClickTemplate("https://example.org/u"));
    EXPECT_FALSE(TListHeaders::isOneClickTemplate("https://example.org/u?t={token}>, <x"));
    EXPECT_FALSE(TListHeaders::isOneClickTemplate(""));
}

TEST(ListHeaders, LinesPerMember)
{
    const TListHeaders plain("Friends", "ann@Example.org", "", "", tokens());
    const QString token = plain.tokenFor(7, "bob@example.net");
    EXPECT_EQ(token, tokens().make(7, "bob@example.net"));
    EXPECT_EQ(plain.linesFor(token),
              QStringList({"List-Id: <friends.example.org>",
                           "List-Unsubscribe: <mailto:ann@Example.org?subject=unsubscribe%20" + token + ">"}));

    const TListHeaders oneClick("Friends", "ann@example.org", "leave+list@example.org",
                                "https://example.org/u/{token}", tokens());
    EXPECT_EQ(oneClick.linesFor(token),
              QStringList({"List-Id: <friends.example.org>",
                           "List-Unsubscribe: <mailto:leave+list@example.org?subject=unsubscribe%20" + token
                               + ">,\r\n\t<https://example.org/u/" + token + ">",
                           "List-Unsubscribe-Post: List-Unsubscribe=One-Click"}));

    // Without a secret: no token, and List-Id alone.
    const TListHeaders noTokens("Friends", "ann@example.org", "", "https://example.org/u/{token}", std::nullopt);
    EXPECT_EQ(noTokens.tokenFor(7, "bob@example.net"), "");
    EXPECT_EQ(noTokens.linesFor({}), QStringList({"List-Id: <friends.example.org>"}));
}

TEST(ListHeaders, SettingsAreOneAddressAndAnHttpsPageWithTheToken)
{
    EXPECT_EQ(TListHeaders::mailtoProblem(""), "") << "empty: the user's own address";
    EXPECT_EQ(TListHeaders::urlTemplateProblem("  "), "") << "empty: no page";
    for (const char *good : {"lists@example.org", " lists+leave@sub.example.org "}) {
        EXPECT_EQ(TListHeaders::mailtoProblem(good), "") << good;
    }
    for (const char *bad : {"lists", "a@b@c", "a@example.org, b@example.org", "Ann <a@example.org>", "a@example.org?x=1"}) {
        EXPECT_NE(TListHeaders::mailtoProblem(bad), "") << bad;
    }
    for (const char *good : {"https://example.org/u?t={token}", " https://example.org/{token} "}) {
        EXPECT_EQ(TListHeaders::urlTemplateProblem(good), "") << good;
    }
    for (const char *bad : {"https://example.org/u", "http://example.org/u?t={token}", "example.org/{token}",
                            "https://example.org/a b/{token}"}) {
        EXPECT_NE(TListHeaders::urlTemplateProblem(bad), "") << bad;
    }
}
