#pragma once

#include <QIcon>
#include <QWidget>

class QHBoxLayout;
class QToolButton;

// A tool panel of flat buttons showing only their glyphs, each with a hint,
// and raised separators between groups of buttons.
class TToolPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TToolPanel(const QString &objectName, QWidget *parent = nullptr);

    // The hint is also the button's accessible name, since it has no text.
    QToolButton *addButton(const QString &objectName, const QString &hint, const QIcon &glyph);
    void addSeparator();

private:
    QHBoxLayout *m_layout;
};
