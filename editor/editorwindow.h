// The editor window of one drawing.
#pragma once

#include <QWidget>

class TForm13 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm13(QWidget *parent = nullptr);

    int DrawingNo = 0;
    double PaperWidth = 0;
    double PaperHeight = 0;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool shown = false;
};
