#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

// Starts one of the tests' Python programs, which prints a line once it
// listens (its port or ports); that line, or nothing with error set.
std::optional<QByteArray> startPythonPeer(QProcess &process, const QStringList &arguments, QString &error);
