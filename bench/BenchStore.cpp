#include "BenchStore.h"

#include "store/DM_Databaser.h"
#include "platform/ProfileIni.h"
#include "platform/TextFile.h"

#include <QFile>
#include <algorithm>

namespace BenchStore {

void create(const QString &folder)
{
    TDatabase db;
    db.Params = {"path=" + folder + "DATA"};
    db.Open();
    for (int version = 1; version <= TDM_Databaser::RequiredVersion; ++version) {
        const QString script = TDM_Databaser::ScriptName(version);
        QFile::copy(CORVANE_RESOURCES_DIR "/" + script, folder + script);
        QStringList lines;
        TextFile::readLines(folder + script, lines);
        db.executeScript(lines.join('\n'));
    }
    db.SetUserVersion(TDM_Databaser::RequiredVersion);
    ProfileIni(folder + "CORVAN.INI").writeInteger("DATABAS", "VERSION", TDM_Databaser::RequiredVersion);
}

Workspace::Workspace()
{
    create(folder());
    m_dm = std::make_unique<TDM_Databaser>(folder());
    m_dm->DataModuleCreate();
}

void fillGroup(TDM_Databaser &dm, const QString &group, int count)
{
    dm.Databas.StartTransaction();
    TQuery q(&dm.Databas);
    q.AddSQL("INSERT INTO GROUPS (Grupp, Members) VALUES (:g, :n)");
    q.SetParam("g", group);
    q.SetParam("n", count);
    q.ExecSQL();
    for (int i = 0; i < count; ++i) {
        q.ClearSQL();
        q.AddSQL("INSERT INTO EMAILS (Name, Email, Unikt, Grupp) VALUES (:name, :email, :n, :g)");
        q.SetParam("name", QStringLiteral("Member %1").arg(i));
        q.SetParam("email", QStringLiteral("member%1@example.org").arg(i));
        q.SetParam("n", i);
        q.SetParam("g", group);
        q.ExecSQL();
    }
    dm.Databas.Commit();
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}
