#include "support/MockClock.h"
#include "transport/MessageBody.h"
#include "transport/MessageLayout.h"
#include "transport/WireText.h"

#include <QTimeZone>
#include <gtest/gtest.h>
#include <cstring>
#include <stdexcept>

namespace {

const QDateTime When(QDate(1998, 12, 6), QTime(14, 5, 9), QTimeZone(3600));

// Content from lists, recording what the body asked for in order.
struct ListContent final : MessageContent
{
    QStringList text;
    QMap<QString, QList<QByteArray>> files;
    QStringList calls;
    QString open;
    int failAfterLines = -1;

    bool textLine(qint32 lineNum, char *buffer, qint32 maxLen) override
    {
        calls.append(QStringLiteral("text %1").arg(lineNum));
        if (lineNum > text.size())
            return false;
        const QByteArray line = text.at(lineNum - 1).toUtf8().left(maxLen - 1);
        std::memcpy(buffer, line.constData(), static_cast<size_t>(line.size()) + 1);
        return true;
    }
    void openFile(const QString &path) override
    {
        calls.append("open " + path);
        open = path;
    }
    void fileLine(QByteArray &line, bool &more) override
    {
        if (failAfterLines-- == 0)
            throw std::runtime_error("read error");
        QList<QByteArray> &lines = files[open];
        line = lines.isEmpty() ? QByteArray() : lines.takeFirst();
        more = !lines.isEmpty();
    }
    void closeFile() override
    {
        calls.append("close " + open);
        open.clear();
    }
};

QList<QByteArray> readAll(MessageBody &body, ListContent &content)
{
    QList<QByteArray> lines;
    char buffer[1024];
    while (body.nextLine(buffer, 1023, content))
        lines.append(QByteArray(buffer));
    return lines;
}

} // namespace

TEST(MessageLayout, WithoutFilesTheMessageIsOneTextPartDeclaredInItsHeader)
{
    const MockClock clock(When);
    const MessageLayout layout(QStringLiteral("utf-8"));
    EXPECT_FALSE(layout.isMultipart());
    EXPECT_TRUE(layout.boundary().isEmpty());
    ASSERT_EQ(layout.parts().size(), 1);
    EXPECT_FALSE(layout.parts().at(0).isFile());
    EXPECT_TRUE(layout.linesBefore(0).isEmpty());
    EXPECT_TRUE(layout.closingLines().isEmpty());

    WireText wire(QStringLiteral("utf-8"));
    EXPECT_EQ(layout.headerLines({"Ann <a@x>", "b@x", "Hi", "", {}}, wire, When),
              (QStringList{"From: Ann <a@x>", "To: b@x", "Subject: Hi", "Mime-Version: 1.0",
                           "Content-Type: text/plain; charset=\"utf-8\"", "Date: Sun, 6 Dec 1998 14:05:09 +0100"}));
}

TEST(MessageLayout, HeaderTextsAreSingleLinesEncodedForTheWireAndTheMessageIdComesLast)
{
    const MessageLayout layout;
    WireText wire;
    const QStringList lines = layout.headerLines({"J\u00f6rg", "x\r\nBcc: y", "S", "<1@x>", {}}, wire, When);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines.at(0), "From: =?iso-8859-1?B?SvZyZw==?=");
    EXPECT_EQ(lines.at(1), "To: x  Bcc: y") << "no header line can be smuggled in";
    EXPECT_EQ(lines.at(6), "Message-ID: <1@x>");
}

TEST(MessageLayout, FilesMakeItMultipartWithTheTextFirstAndOnePartPerFile)
{
    const MockClock clock(When);
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English));
    const MessageLayout layout(QStringLiteral("iso-8859-1"), {"/tmp/a b.bin", "/tmp/say \"hi\".txt"});
    QLocale::setDefault(saved);
    ASSERT_TRUE(layout.isMultipart());
    EXPECT_EQ(layout.boundary(), "= Multipart Boundary Dec06981405");
    ASSERT_EQ(layout.parts().size(), 3);
    EXPECT_EQ(layout.parts().at(0).encoding, TransferEncoding::SevenBit);
    EXPECT_EQ(layout.parts().at(1).encoding, TransferEncoding::Base64);
    EXPECT_EQ(layout.parts().at(2).file, "/tmp/say \"hi\".txt");
    EXPECT_EQ(layout.parts().at(1).type.first(), "Content-Type: application/octet-stream;")
        << "a type the name does not tell";

    WireText wire;
    EXPECT_EQ(layout.headerLines({}, wire, When).at(4),
              "Content-Type: multipart/mixed;\r\n\tboundary=\"= Multipart Boundary Dec06981405\"");
    const QString b = "--= Multipart Boundary Dec06981405";
    EXPECT_EQ(layout.linesBefore(0),
              (QStringList{"This is a multipart MIME message.", "", b, "Content-Type: text/plain; charset=\"iso-8859-1\"",
                           "Content-Transfer-Encoding: 7bit", ""}));
    EXPECT_EQ(layout.linesBefore(2),
              (QStringList{"", b, "Content-Type: text/plain;", "\tname=\"say \\\"hi\\\".txt\"",
                           "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;",
                           "\tfilename=\"say \\\"hi\\\".txt\"", ""}));
    EXPECT_EQ(layout.closingLines(), (QStringList{"", b + "--"}));
}

TEST(MessageBody, ASinglePartBodyIsTheOwnersLinesNumberedFromOne)
{
    MessageBody body{MessageLayout()};
    ListContent content;
    content.text = {"one", ".two"};
    EXPECT_EQ(readAll(body, content), (QList<QByteArray>{"one", ".two"}));
    EXPECT_EQ(content.calls, (QStringList{"text 1", "text 2", "text 3"}));
    char buffer[8];
    EXPECT_FALSE(body.nextLine(buffer, 8, content)) << "a complete body stays complete";
}

TEST(MessageBody, EachFileIsOpenedWhenItsPartBeginsAndClosedAfterItsLastLine)
{
    MessageBody body{MessageLayout(QStringLiteral("iso-8859-1"), {"f1", "f2"})};
    ListContent content;
    content.text = {"text"};
    content.files["f1"] = {"AAAA", "BBBB"};
    content.files["f2"] = {}; // empty: one empty line
    const QList<QByteArray> lines = readAll(body, content);
    EXPECT_EQ(content.calls, (QStringList{"text 1", "text 2", "open f1", "close f1", "open f2", "close f2"}));
    ASSERT_EQ(lines.size(), 6 + 1 + 8 + 2 + 8 + 1 + 2);
    EXPECT_EQ(lines.at(6), "text");
    EXPECT_EQ(lines.mid(15, 3), (QList<QByteArray>{"AAAA", "BBBB", ""}));
    EXPECT_TRUE(lines.at(18).startsWith("--= Multipart Boundary"));
    EXPECT_EQ(lines.mid(25), (QList<QByteArray>{"", "", lines.at(18) + "--"}));
}

TEST(MessageBody, AFileThatFailsLeavesItOpenForTheOwnerToClose)
{
    MessageBody body{MessageLayout(QStringLiteral("iso-8859-1"), {"f"})};
    ListContent content;
    content.files["f"] = {"AAAA", "BBBB", "CCCC"};
    content.failAfterLines = 1;
    char buffer[64];
    auto readToTheEnd = [&] {
        while (body.nextLine(buffer, 64, content)) {
        }
    };
    EXPECT_THROW(readToTheEnd(), std::runtime_error);
    EXPECT_EQ(QByteArray(buffer), "AAAA");
    EXPECT_EQ(content.open, "f");
}

TEST(MessageBody, LinesLongerThanTheBufferAreCutToIt)
{
    MessageBody body{MessageLayout(QStringLiteral("utf-8"), {"f"})};
    ListContent content;
    content.files["f"] = {QByteArray(30, 'x')};
    QList<QByteArray> lines;
    char buffer[16];
    while (body.nextLine(buffer, 16, content))
        lines.append(QByteArray(buffer));
    ASSERT_EQ(lines.size(), 6 + 8 + 1 + 2);
    EXPECT_EQ(lines.at(2), "--= Multipart B");
    EXPECT_EQ(lines.at(14), QByteArray(15, 'x'));
}
