#include "send/MergeMessage.h"
#include "send/MergeTemplate.h"

#include <gtest/gtest.h>

namespace {

// The text rendered with each name's value taken from the pairs (any case);
// names without a pair are empty.
QString render(const QString &text, const QList<std::pair<QString, QString>> &pairs, int *stray = nullptr)
{
    MergeNames names;
    const MergeTemplate merged(text, names);
    QStringList values(names.size());
    for (const auto &[name, value] : pairs) {
        const int at = names.indexOf(name);
        if (at >= 0)
            values[at] = value;
    }
    if (stray)
        *stray = merged.stray();
    return merged.render(values);
}

} // namespace

TEST(MergeTemplate, PlaceholdersTakeTheMembersValuesWithoutRegardToCaseAndDefaultsWhereEmpty)
{
    const QList<std::pair<QString, QString>> anna{{"Name", "Anna"}, {"town", ""}};
    EXPECT_EQ(render("Dear {{Name}}, {{NAME}}!", anna), "Dear Anna, Anna!");
    EXPECT_EQ(render("From {{Town|somewhere}}.", anna), "From somewhere.");
    EXPECT_EQ(render("From {{ Town | near }}.", anna), "From  near .") << "the default as typed";
    EXPECT_EQ(render("[{{Town|}}]", anna), "[]") << "an empty default";
    EXPECT_EQ(render("[{{Town}}]", anna), "[]");
    EXPECT_EQ(render("{{Name|x|y}}", anna), "Anna") << "the default runs to the braces";
    EXPECT_EQ(render("{{Missing|a|b}}", anna), "a|b");

    MergeNames names;
    const MergeTemplate merged("{{Town|x}} {{Name}} {{town}}", names);
    EXPECT_EQ(names.names(), (QStringList{"Town", "Name"})) << "each name once, spelt as first typed";
    EXPECT_TRUE(merged.needsValue(0)) << "one use of Town has no default";
    EXPECT_TRUE(merged.needsValue(1));
    const MergeTemplate defaulted("{{Town|x}}", names);
    EXPECT_FALSE(defaulted.needsValue(0));
}

TEST(MergeTemplate, ATextWithoutPlaceholdersIsItselfAndTheEscapeWritesBraces)
{
    MergeNames names;
    const QString plain = QString::fromUtf8("Grüße, } and }} and { alone\r\n");
    const MergeTemplate merged(plain, names);
    EXPECT_TRUE(merged.isPlain());
    EXPECT_EQ(merged.render({}), plain);
    EXPECT_TRUE(merged.render({}).isSharedWith(plain)) << "not even copied";
    EXPECT_EQ(names.size(), 0);

    EXPECT_EQ(render("\\{{Name}} is {{Name}}", {{"Name", "Ann"}}), "{{Name}} is Ann");
    EXPECT_EQ(render("ends with \\{{", {}), "ends with {{");
    EXPECT_EQ(render("a backslash at the end \\", {}), "a backslash at the end \\");
    MergeNames escaped;
    EXPECT_FALSE(MergeTemplate("\\{{", escaped).isPlain());
}

TEST(MergeTemplate, BracesThatOpenNoPlaceholderAreTextAndCounted)
{
    int stray = 0;
    EXPECT_EQ(render("unclosed {{Name and more", {{"Name", "Ann"}}, &stray), "unclosed {{Name and more");
    EXPECT_EQ(stray, 1);
    EXPECT_EQ(render("{{}} and {{ |x}}", {}, &stray), "{{}} and {{ |x}}");
    EXPECT_EQ(stray, 2) << "a placeholder names something";
    EXPECT_EQ(render("{{a{{Name}}", {{"Name", "Ann"}}, &stray), "{{aAnn");
    EXPECT_EQ(stray, 1);
    EXPECT_EQ(render("{{{Name}}}", {{"Name", "Ann"}}, &stray), "{Ann}") << "the last two braces open it";
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(render("{{" + QString(MergeTemplate::LongestPlaceholder + 1, u'x') + "}}", {}, &stray).size(),
              MergeTemplate::LongestPlaceholder + 5);
    EXPECT_EQ(stray, 1) << "too long to be a name";
    EXPECT_EQ(render("{{x}", {}, &stray), "{{x}");
    EXPECT_EQ(stray, 1);
}

TEST(MergeTemplate, UnicodeNamesAndValuesAndPlaceholdersOverALineEnd)
{
    EXPECT_EQ(render(QString::fromUtf8("Hej {{FÖRNAMN}} 👋"), {{QString::fromUtf8("förnamn"), QString::fromUtf8("Åsa 😀")}}),
              QString::fromUtf8("Hej Åsa 😀 👋"));
    // A row wrapped inside the placeholder: the rows join again.
    EXPECT_EQ(render("Dear {{First \nName|friend}},\nnext", {{"First Name", "Bo"}}), "Dear Bo,\nnext");
    EXPECT_EQ(render("{{Na\nme}}", {{"Name", "Bo"}}), "Bo");
    EXPECT_EQ(render("A value keeps its {{x}}", {{"x", "{{Name}}"}}), "A value keeps its {{Name}}")
        << "values are not read again";
}

TEST(MergeMessage, OwnValuesFieldsAndLinesPerMember)
{
    const TMergeMessage message("Hi {{name}} in {{Group}}", {"Town: {{Town|far}}", "Mail {{EMAIL}}", "plain"});
    EXPECT_FALSE(message.isPlain());
    EXPECT_EQ(message.fieldNames(), QStringList{"Town"});
    const QStringList values = message.values(QString::fromUtf8("Åke"), "ake@x.org", "Club", {"Lund"});
    EXPECT_EQ(message.subject(values), QString::fromUtf8("Hi Åke in Club"));
    EXPECT_EQ(message.lines(values), (QStringList{"Town: Lund", "Mail ake@x.org", "plain"}));
    EXPECT_EQ(message.lines(message.values("Bo", "bo@x.org", "Club", {})),
              (QStringList{"Town: far", "Mail bo@x.org", "plain"}));

    const QStringList lines{"no", "placeholders"};
    const TMergeMessage plain("Subject", lines);
    EXPECT_TRUE(plain.isPlain());
    EXPECT_EQ(plain.lines(plain.values("a", "b", "c", {})), lines);
    EXPECT_EQ(plain.stray(), 0);
}
