#pragma once

#include <QPointer>
#include <QWidget>

class QToolButton;
#include "store/DataSet.h"

// The nine-button record navigator: moves through a dataset, inserts,
// deletes (after a confirmation), edits, posts and cancels. Buttons are
// enabled only where their action makes sense for the dataset's state.
class TDBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel };
    static constexpr int ButtonCount = 9;

    explicit TDBNavigator(const QString &objectName, QWidget *parent = nullptr);

    void setDataSet(TDataSet *dataSet);
    TDataSet *dataSet() const { return m_dataSet; }
    QToolButton *button(Button which) const { return m_buttons[which]; }
    // Runs a button's action as a click does.
    void BtnClick(Button which);

private:
    void updateButtons();

    QPointer<TDataSet> m_dataSet;
    QToolButton *m_buttons[ButtonCount] = {};
};
