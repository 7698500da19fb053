#pragma once

#include <QHash>
#include <QString>

class TDatabase;

// The store's change counters: triggers add one to a table's counter at every
// insert, update and delete, whichever program or statement made it. A
// counter that moved tells that its table changed.
// Table names are kept in lower case, as the store compares them.
using TTableCounters = QHash<QString, qint64>;

// Every counter, in one statement. Throws EDatabaseError.
TTableCounters readTableCounters(const TDatabase &database);
