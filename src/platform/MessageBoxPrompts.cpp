#include "platform/MessageBoxPrompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

struct KindLook
{
    QMessageBox::Icon icon;
    QString caption;
};

KindLook lookOf(PromptKind kind)
{
    switch (kind) {
    case PromptKind::Confirmation:
        return {QMessageBox::Question, QStringLiteral("Confirm")};
    case PromptKind::Error:
        return {QMessageBox::Critical, QStringLiteral("Error")};
    case PromptKind::Warning:
        return {QMessageBox::Warning, QStringLiteral("Warning")};
    case PromptKind::Information:
        return {QMessageBox::Information, QStringLiteral("Information")};
    case PromptKind::Plain:
        break;
    }
    return {QMessageBox::NoIcon, QApplication::applicationName()};
}

}

PromptAnswer MessageBoxPrompts::show(PromptKind kind, const QString &text, PromptButtons buttons)
{
    const KindLook look = lookOf(kind);
    QMessageBox box(look.icon, look.caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton *first = nullptr;
    QPushButton *second = nullptr;
    switch (buttons) {
    case PromptButtons::Ok:
        first = box.addButton(QMessageBox::Ok);
        break;
    case PromptButtons::OkCancel:
        first = box.addButton(QMessageBox::Ok);
        second = box.addButton(QMessageBox::Cancel);
        break;
    case PromptButtons::YesNo:
        first = box.addButton(QMessageBox::Yes);
        second = box.addButton(QMessageBox::No);
        break;
    }
    box.setDefaultButton(first);
    box.exec();
    const bool firstChosen = box.clickedButton() == first || (!second && box.clickedButton() == nullptr);
    if (buttons == PromptButtons::YesNo)
        return firstChosen ? PromptAnswer::Yes : PromptAnswer::No;
    if (buttons == PromptButtons::OkCancel)
        return firstChosen ? PromptAnswer::Ok : PromptAnswer::Cancel;
    return PromptAnswer::Ok;
}

std::optional<QString> MessageBoxPrompts::askPassword(const QString &text)
{
    QInputDialog box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Password"));
    box.setLabelText(text);
    box.setTextEchoMode(QLineEdit::Password);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}
