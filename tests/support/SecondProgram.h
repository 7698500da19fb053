#pragma once

#include <QString>

class TempProgramFolder;

// Another program changing the store: a process of its own runs sql on the
// store of folder and ends. True when it ran without an error.
bool runSecondProgram(const TempProgramFolder &folder, const QString &sql);
// Another program running sql on the store of folder again and again, each
// time in a transaction of its own, killed (SIGKILL) as soon as it has
// reported at least commits commits; the number it reported last, or -1 when
// it failed first.
long killSecondProgramAfter(const TempProgramFolder &folder, const QString &sql, long commits);
