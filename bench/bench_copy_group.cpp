// Copies a group of 20 000 and one of 100 000 recipients through the group
// editor, as a user does: "Insert" in the group box, a new name, "Copy email
// from Group:" with the large group, OK. Beside each, the same rows copied by
// one SQL statement with one recount, the least any copy can cost on this
// store. Meanwhile another connection writes the schedule table every 20 ms,
// as the agent removes a sent entry, and the longest time one of its writes
// waited for the store is printed for both.
#include "BenchStore.h"
#include "addressbook/TF_AddGrp.h"
#include "addressbook/TF_Groups.h"
#include "store/DM_Databaser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// The agent beside the mailer: a connection of its own, made as the agent
// makes its own, that writes the schedule table at a steady pace and notes
// its longest write, waiting for the store included.
class AgentWrites
{
public:
    explicit AgentWrites(const QString &dataFolder)
    {
        m_db.Params = {"path=" + dataFolder};
        m_thread = std::thread([this] { run(); });
    }
    ~AgentWrites() { stop(); }
    // Lets the write under way end, so that its wait counts too.
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    double longestWaitMs() const { return m_longestUs / 1000.0; }
    int failures() const { return m_failures; }
    int writes() const { return m_writes; }

private:
    void run()
    {
        m_db.Open();
        while (!m_stop) {
            const auto start = std::chrono::steady_clock::now();
            try {
                m_db.executeScript("INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") "
                                   "VALUES ('g', 'm.MSG', '2026-12-24', '10:00:00');"
                                   "DELETE FROM Agent WHERE rowid = last_insert_rowid();");
            } catch (const std::exception &) {
                ++m_failures;
            }
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
            m_longestUs = std::max<long long>(m_longestUs, us);
            ++m_writes;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_db.Close();
    }

    TDatabase m_db;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_longestUs{0};
    std::atomic<int> m_failures{0};
    std::atomic<int> m_writes{0};
};

struct Figures
{
    double ms = 0;
    double agentWaitMs = 0;
    int agentWrites = 0;
    int agentFailures = 0;
    int members = 0;
};

// How long copy takes, the agent's writes going on meanwhile.
template <typename Copy>
Figures measure(TDM_Databaser &dm, const QString &copyName, Copy &&copy)
{
    Figures figures;
    AgentWrites agent(dm.DataFolder());
    QElapsedTimer clock;
    clock.start();
    copy();
    figures.ms = clock.nsecsElapsed() / 1e6;
    agent.stop();
    figures.agentWaitMs = agent.longestWaitMs();
    figures.agentWrites = agent.writes();
    figures.agentFailures = agent.failures();
    figures.members = dm.MemberCount(copyName);
    return figures;
}

// "Insert" with the dialog filled in as a user fills it.
Figures copyThroughEditor(TDM_Databaser &dm, const QString &source, const QString &copy)
{
    TF_Groups editor(dm);
    editor.show();
    QCoreApplication::processEvents();
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<TF_AddGrp *>(QApplication::activeModalWidget());
        if (!dialog) {
            std::fprintf(stderr, "no group dialog\n");
            return;
        }
        dialog->ed_GrpName->setText(copy);
        dialog->ch_CopyEmail->setChecked(true);
        dialog->co_Group->setCurrentText(source);
        dialog->bu_Ok->click();
    });
    return measure(dm, copy, [&] {
        editor.bu_InsertGroup->click();
        QCoreApplication::processEvents();
    });
}

// The same rows by one statement and one recount, in one transaction.
Figures copyByOneStatement(TDM_Databaser &dm, const QString &source, const QString &copy)
{
    return measure(dm, copy, [&] {
        dm.Databas.StartTransaction();
        TQuery q(&dm.Databas);
        q.SetStatement({"INSERT INTO GROUPS (Grupp, Members) VALUES (:copy, 0)"}, {{"copy", copy}});
        q.ExecSQL();
        q.SetStatement({"INSERT INTO EMAILS (Name, Email, Unikt, Grupp)",
                        "SELECT Name, Email, rowid, :copy FROM EMAILS WHERE Grupp = :source"},
                       {{"copy", copy}, {"source", source}});
        q.ExecSQL();
        dm.RefreshMemberCount(copy);
        dm.Databas.Commit();
    });
}

void report(int size, const Figures &editor, const Figures &baseline)
{
    std::printf("copy %6d recipients: group editor %8.1f ms (%d copied), one statement %7.1f ms (%d copied), "
                "ratio %.2f\n",
                size, editor.ms, editor.members, baseline.ms, baseline.members, editor.ms / baseline.ms);
    std::printf("    agent's longest write, waiting included: during the editor's copy %.1f ms (%d writes, %d failed), "
                "during the one statement %.1f ms (%d writes, %d failed)\n",
                editor.agentWaitMs, editor.agentWrites, editor.agentFailures, baseline.agentWaitMs,
                baseline.agentWrites, baseline.agentFailures);
}

}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchStore::Workspace workspace;
    TDM_Databaser &dm = workspace.dm();
    for (const int size : {20000, 100000}) {
        const QString source = QStringLiteral("Source %1").arg(size);
        BenchStore::fillGroup(dm, source, size);
        dm.ta_Group.Refresh();
        const Figures baseline = copyByOneStatement(dm, source, source + " by SQL");
        const Figures editor = copyThroughEditor(dm, source, source + " copy");
        report(size, editor, baseline);
    }
    return 0;
}
