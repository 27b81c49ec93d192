// The list-and-edit dialog that the sections, members, revision history and chat log
// dialogs share: a grid of a table's rows, an edit panel and add / change / delete / close,
// with a fixed order of checks and messages. Each dialog supplies its table, its columns,
// its further edits and the checks that differ.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class StringGrid;
struct AppContext;

// Shows why a dialog cannot work (no database settings, no connection) and closes it;
// false when it can.
bool RefuseWithoutDatabase(AppContext &context, QDialog *dialog);

class RegisterDialog : public QDialog
{
    Q_OBJECT

public:
    QLabel *Label1, *Label3;
    StringGrid *SG1;
    QFrame *Panel1;
    QLineEdit *Edit1; // the number
    QPushButton *Button1, *Button4, *Button2, *Button3;

public slots:
    void SG1Click();
    void Edit1DblClick();
    void Button1Click();
    void Button4Click();
    void Button2Click();
    void Button3Click();

protected:
    struct Layout
    {
        QString objectName, caption, table;
        int width, height, panelHeight;
        QStringList headers;
        QList<int> widths;
    };
    RegisterDialog(AppContext &context, const Layout &layout, QWidget *parent);

    void showEvent(QShowEvent *event) override;
    void RefreshGrid();

    // Run after the show checks passed, before the grid is filled.
    virtual void PrepareShow() {}
    // The grid rows, each as its cells in column order.
    virtual QList<QStringList> ReadGridRows();
    virtual QString GridCondition() const { return {}; }
    virtual void RowToEdits(const QStringList &cells) = 0;
    // Checks that only a change makes, between the number's emptiness and its sign.
    virtual bool CheckRequired() { return true; }
    // Checks of formatted fields (dates, times), after the number's sign.
    virtual bool CheckFields() { return true; }
    // The quote check of every text column; see QuoteFree.
    virtual bool CheckQuotes() = 0;
    virtual QStringList WriteColumns() const = 0;
    virtual QStringList WriteValues(int number) const = 0;
    // Checks after the deletion was confirmed; false keeps the row.
    virtual bool MayDelete(int) { return true; }

    // Shows the quote message and focuses the edit when the text holds a quote.
    bool QuoteFree(const QString &text, QWidget *focus);
    // Why an add failed, for the line under "登録失敗".
    QString FailureReason(int number) const;

    // Some dialogs check quotes before the number's existence on change, others after.
    bool quotesBeforeExistence = false;
    // The grid column named in the delete confirmation.
    int deleteNameColumn = 1;
    QString table;
    AppContext &context;

private:
    bool CheckNumber(bool change);
    int Number() const;
};
