#include "mailer/AboutInfo.h"
#include "platform/MemoryStatus.h"
#include "mailer/TF_About.h"
#include "support/Accessibility.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(AboutInfo, MemoryLineIsPercentFreeAndTotalInMegabytes)
{
    EXPECT_EQ(AboutInfo::memoryLine(16000000, 64000000), "25 %  (64 Mb)");
    EXPECT_EQ(AboutInfo::memoryLine(0, 2000000), "0 %  (2 Mb)");
    EXPECT_EQ(AboutInfo::memoryLine(0, 0), "0 %  (0 Mb)") << "no swap: no division by zero";
    EXPECT_EQ(AboutInfo::memoryLine(99, 99), "0 %  (0 Mb)");
}

TEST(AboutBox, FillsTheMemoryLinesEachTimeItIsShown)
{
    int asked = 0;
    TF_About about(nullptr, [&] {
        ++asked;
        MemoryStatus status;
        status.totalPhys = 64000000;
        status.availPhys = 16000000 * asked;
        status.totalPageFile = 0;
        return status;
    });
    about.show();
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.ramLine()->text(), "25 %  (64 Mb)");
    EXPECT_EQ(about.swapLine()->text(), "0 %  (0 Mb)");
    about.hide();
    about.show();
    EXPECT_EQ(about.ramLine()->text(), "50 %  (64 Mb)");
    QStringList texts;
    for (QLabel *label : about.findChildren<QLabel *>())
        texts.append(label->text());
    for (const char *expected : {"Program", "Corvane 98 Professional", "Version:", "2.0", "Tamberlo", "RAM fritt (tot)",
                                 "SWAP fritt (tot)"})
        EXPECT_TRUE(texts.contains(expected)) << expected;
}

TEST(AboutBox, AScreenReaderReadsWhatTheBoxShows)
{
    TF_About about(nullptr, [] {
        MemoryStatus status;
        status.totalPhys = 64000000;
        status.availPhys = 16000000;
        status.totalPageFile = 2000000000;
        status.availPageFile = 500000000;
        return status;
    });
    about.show();
    for (const char *shown : {"Program", "Corvane 98 Professional", "Version:", "2.0", "Tamberlo", "RAM fritt (tot)",
                              "25 %  (64 Mb)", "SWAP fritt (tot)", "25 %  (2000 Mb)"})
        EXPECT_NE(findSpoken(&about, QAccessible::StaticText, shown), nullptr) << shown;
    // Read in order, each memory line follows its caption.
    QStringList readInOrder;
    QAccessibleInterface *box = QAccessible::queryAccessibleInterface(&about);
    for (int i = 0; i < box->childCount(); ++i)
        readInOrder.append(box->child(i)->text(QAccessible::Name));
    const qsizetype ram = readInOrder.indexOf("RAM fritt (tot)");
    const qsizetype swap = readInOrder.indexOf("SWAP fritt (tot)");
    ASSERT_GE(ram, 0);
    ASSERT_GE(swap, 0);
    EXPECT_EQ(readInOrder.value(ram + 1), "25 %  (64 Mb)");
    EXPECT_EQ(readInOrder.value(swap + 1), "25 %  (2000 Mb)");
    EXPECT_EQ(spokenName(about.ramLine()), "25 %  (64 Mb)");
    EXPECT_FALSE(spokenDescription(about.ramLine()).isEmpty()) << "says which memory the line is about";
    EXPECT_EQ(findSpoken(&about, QAccessible::StaticText, "Version"), nullptr) << "no name hides the version";
    EXPECT_NE(findSpoken(&about, QAccessible::PushButton, "OK"), nullptr);
}

TEST(MemoryStatus, ReadsMeminfoInBytes)
{
    const MemoryStatus s = MemoryStatus::fromMeminfo("MemTotal:       62500 kB\nMemFree:  1 kB\n"
                                                     "MemAvailable:   15625 kB\nSwapTotal:  0 kB\nSwapFree: 0 kB\n");
    EXPECT_EQ(s.totalPhys, 64000000u);
    EXPECT_EQ(s.availPhys, 16000000u);
    EXPECT_EQ(s.totalPageFile, 0u);
}

}
