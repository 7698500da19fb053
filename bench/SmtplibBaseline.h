#pragma once

#include <QJsonObject>
#include <QStringList>

// Runs the plain blocking client of Python's standard library (smtplib)
// against the same sink, as the baseline of every figure; returns its JSON
// answer, or an object with "error".
QJsonObject runSmtplib(const QStringList &arguments);
