#include "addressbook/GroupNames.h"

#include "store/DM_Databaser.h"

TGroupNames::TGroupNames(TDM_Databaser &dataModule, const std::optional<QString> &except, QObject *parent)
    : QObject(parent), m_query(&dataModule.Databas)
{
    m_query.AddSQL("SELECT Grupp FROM GROUPS");
    if (except) {
        m_query.AddSQL("WHERE Grupp<>:current ");
        m_query.SetParam("current", *except);
    }
    m_query.AfterRefresh = [this](TDataSet &) { emit changed(); };
    m_query.Open();
}

QStringList TGroupNames::Names()
{
    QStringList names;
    for (int row = 0; row < m_query.RecordCount(); ++row)
        names.append(m_query.rowValue(row, 0).toString());
    return names;
}
