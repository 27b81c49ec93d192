// The marker of another user's mouse pointer: an arrow whose tip is the window's top-left
// corner, above a band with the user's name. It never takes focus or clicks.
#pragma once

#include <QWidget>

class QLabel;

class TForm9 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm9(QWidget *parent = nullptr);

    // Set before the marker is shown.
    QString MarkerText;
    int MarkerColor = 0; // red + 256 * green + 65536 * blue

    QLabel *Label1;

    // Height of the arrow above the name band.
    static constexpr int ArrowSize = 24;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
};
