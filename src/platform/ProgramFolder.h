#pragma once

#include <QString>

// The folder of the running program file with a trailing '/'. Every file name
// of the system is formed from it.
namespace ProgramFolder {
QString path();
// Adds the trailing separator a folder name needs to have file names appended.
QString withTrailingSeparator(const QString &folder);
}
