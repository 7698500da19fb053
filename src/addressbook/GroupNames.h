#pragma once

#include "store/SelfRefreshQuery.h"

#include <QObject>
#include <QStringList>
#include <optional>

class TDM_Databaser;

// The names of the groups, or of all groups but one, in the store's order,
// kept current while the object lives: they are read again when another
// program or statement changes the groups.
class TGroupNames : public QObject
{
    Q_OBJECT
public:
    explicit TGroupNames(TDM_Databaser &dataModule, const std::optional<QString> &except = std::nullopt,
                         QObject *parent = nullptr);

    QStringList Names();

signals:
    // The names were read again.
    void changed();

private:
    TSelfRefreshQuery m_query;
};
