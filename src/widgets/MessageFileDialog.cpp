#include "widgets/MessageFileDialog.h"

#include <QDir>

TFileChoice messageFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &title,
                              const QString &objectName)
{
    return [parent, mode, title, objectName](const QString &startFolder) {
        QFileDialog dialog(parent, title, startFolder, QStringLiteral("Mailfiles (*.MSG)"));
        dialog.setObjectName(objectName);
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("MSG"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
}

QString askForMessageFile(const QString &messageFolder, const TFileChoice &choose)
{
    QDir().mkpath(messageFolder);
    return choose(messageFolder);
}
