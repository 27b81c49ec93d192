// The PC user dialog: which member works at this PC.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
struct AppContext;

class TForm5 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm5(AppContext &context, QWidget *parent = nullptr);

    QLabel *Label1;
    QComboBox *ComboBox1;
    QPushButton *Button1, *Button2;

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    AppContext &context;
};
