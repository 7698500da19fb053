#pragma once

#include <QFileDialog>
#include <QString>
#include <functional>

// Asks the user for a message file, starting in a folder; empty when
// cancelled. Windows hold one of these so tests can answer in its place.
using TFileChoice = std::function<QString(const QString &startFolder)>;

// The file dialog for message files: "Mailfiles (*.MSG)", default extension
// MSG; opening wants a file that exists.
TFileChoice messageFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &title,
                              const QString &objectName);

// Runs choose in the message folder, made first where it is missing.
QString askForMessageFile(const QString &messageFolder, const TFileChoice &choose);
