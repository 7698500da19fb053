#include "support/Accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

QString describe(const QWidget *w)
{
    return QStringLiteral("%1 '%2'").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

// Headers and the corner button of a grid, a combo box's list and editor, a
// tab bar's scroll buttons: Qt builds them, and the control that owns them
// carries the name.
bool builtByQt(const QWidget *w)
{
    if (w->objectName().startsWith(QLatin1String("qt_")) || qobject_cast<const QScrollBar *>(w))
        return true;
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractItemView *>(p) || qobject_cast<const QComboBox *>(p)
            || qobject_cast<const QTabBar *>(p))
            return true;
    }
    return false;
}

bool isInput(const QWidget *w)
{
    return qobject_cast<const QComboBox *>(w) || qobject_cast<const QLineEdit *>(w)
           || qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QTextEdit *>(w)
           || qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QAbstractSlider *>(w)
           || qobject_cast<const QAbstractItemView *>(w);
}

// A caption without its mnemonic marks: "&Add" is "Add", "&&" is "&".
QString withoutMnemonic(const QString &caption)
{
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        plain.append(caption[i]);
    }
    return plain;
}

// The words a label puts on the screen.
QString shownText(const QLabel *label)
{
    QString text = label->text();
    if (label->textFormat() == Qt::RichText || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument document;
        document.setHtml(text);
        text = document.toPlainText();
    }
    // With a buddy a single "&" marks the shortcut and is not drawn.
    return label->buddy() ? withoutMnemonic(text) : text;
}

bool namedByALabel(const QWidget *input, const QWidget *root)
{
    for (const QLabel *label : root->findChildren<QLabel *>()) {
        if (label->buddy() == input && !label->text().isEmpty())
            return true;
    }
    return false;
}

void expectLabelSaysWhatItShows(QLabel *label)
{
    const bool picture = label->text().isEmpty() && (!label->pixmap().isNull() || label->movie());
    if (picture) {
        EXPECT_FALSE(spokenDescription(label).isEmpty()) << describe(label).toStdString() << " shows a picture that no words describe";
        return;
    }
    EXPECT_EQ(spokenName(label), shownText(label)) << describe(label).toStdString() << " is read otherwise than it shows";
}

void expectButtonSaysItsCaption(QAbstractButton *button)
{
    const QString caption = withoutMnemonic(button->text());
    const QString name = spokenName(button);
    const QString hint = button->toolTip();
    const std::string what = describe(button).toStdString();
    if (caption.isEmpty()) {
        EXPECT_FALSE(name.isEmpty()) << what << ", a glyph without words, has no name";
        if (!hint.isEmpty()) {
            EXPECT_EQ(name, hint) << what << ", a glyph without words, is named otherwise than its hint";
        }
        return;
    }
    EXPECT_TRUE(name.contains(caption)) << what << " is named \"" << name.toStdString() << "\" but shows \""
                                        << caption.toStdString() << "\"";
    if (!hint.isEmpty()) {
        EXPECT_EQ(spokenDescription(button), hint) << what << " does not describe itself by its hint";
    }
}

void expectInputIsNamed(QWidget *input, const QWidget *root)
{
    const std::string what = describe(input).toStdString();
    EXPECT_FALSE(spokenName(input).isEmpty()) << what << " has no accessible name";
    if (!namedByALabel(input, root)) {
        EXPECT_FALSE(spokenDescription(input).isEmpty()) << what << " has no label and no description";
    }
}

// The names of the elements around one, from the root's inwards: a sighted
// user tells two buttons of one caption apart by these.
QStringList surroundings(QWidget *w, QWidget *root)
{
    QStringList names;
    QAccessibleInterface *rootInterface = QAccessible::queryAccessibleInterface(root);
    for (QAccessibleInterface *p = QAccessible::queryAccessibleInterface(w)->parent(); p && p != rootInterface;
         p = p->parent()) {
        const QString name = p->text(QAccessible::Name);
        if (!name.isEmpty())
            names.prepend(name);
    }
    return names;
}

// The widgets in the order a screen reader reads them: the accessible tree,
// depth first.
void collectReadingOrder(QAccessibleInterface *element, QList<QObject *> &order)
{
    for (int i = 0; element && i < element->childCount(); ++i) {
        QAccessibleInterface *child = element->child(i);
        if (!child)
            continue;
        order.append(child->object());
        collectReadingOrder(child, order);
    }
}

void expectLabelsReadBeforeTheirControls(QWidget *root)
{
    QList<QObject *> order;
    collectReadingOrder(QAccessible::queryAccessibleInterface(root), order);
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->buddy() || builtByQt(label))
            continue;
        const qsizetype labelAt = order.indexOf(label);
        const qsizetype controlAt = order.indexOf(label->buddy());
        if (labelAt >= 0 && controlAt >= 0) {
            EXPECT_LT(labelAt, controlAt) << "the label \"" << label->text().toStdString() << "\" is read after "
                                          << describe(label->buddy()).toStdString() << ", which it names";
        }
    }
}

void expectButtonsOfOneNameToldApart(const QList<QAbstractButton *> &buttons, QWidget *root)
{
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        for (qsizetype j = i + 1; j < buttons.size(); ++j) {
            const QString name = spokenName(buttons[i]);
            if (name.isEmpty() || name != spokenName(buttons[j]))
                continue;
            EXPECT_NE(surroundings(buttons[i], root), surroundings(buttons[j], root))
                << describe(buttons[i]).toStdString() << " and " << describe(buttons[j]).toStdString() << " are both \""
                << name.toStdString() << "\" with nothing around them to tell them apart";
        }
    }
}

}

QString spokenName(QWidget *widget)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(widget);
    return i ? i->text(QAccessible::Name) : QString();
}

QString spokenDescription(QWidget *widget)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(widget);
    return i ? i->text(QAccessible::Description) : QString();
}

QAccessibleInterface *findSpoken(QAccessibleInterface *within, QAccessible::Role role, const QString &name)
{
    for (int i = 0; within && i < within->childCount(); ++i) {
        QAccessibleInterface *child = within->child(i);
        if (!child)
            continue;
        if (child->role() == role && child->text(QAccessible::Name) == name)
            return child;
        if (QAccessibleInterface *found = findSpoken(child, role, name))
            return found;
    }
    return nullptr;
}

QAccessibleInterface *findSpoken(QWidget *within, QAccessible::Role role, const QString &name)
{
    return findSpoken(QAccessible::queryAccessibleInterface(within), role, name);
}

void expectAccessibleNames(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    QList<QAbstractButton *> buttons;
    for (QWidget *w : std::as_const(widgets)) {
        if (builtByQt(w))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            expectLabelSaysWhatItShows(label);
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            expectButtonSaysItsCaption(button);
            buttons.append(button);
        } else if (isInput(w)) {
            expectInputIsNamed(w, root);
        }
    }
    expectButtonsOfOneNameToldApart(buttons, root);
    expectLabelsReadBeforeTheirControls(root);
}
