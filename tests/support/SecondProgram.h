#pragma once

#include <QString>

class TempProgramFolder;

// Another program changing the store: a process of its own runs sql on the
// store of folder and ends. True when it ran without an error.
bool runSecondProgram(const TempProgramFolder &folder, const QString &sql);
