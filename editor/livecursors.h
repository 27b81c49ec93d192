// The other PCs on the same drawing, inside the editor: their pointers drawn on the paper
// where they point, whatever each one's zoom, and who is there in the status bar. This PC's
// pointer is published in paper millimetres, at most 20 times a second and only when it
// moved by a pixel or more.
#pragma once

#include "db/presence.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <vector>

class Database;
class LiveWatch;
class QLabel;
class QPainter;
class QStatusBar;
class QTimer;
class View;

class LiveCursors : public QObject
{
    Q_OBJECT

public:
    LiveCursors(Database &db, int drawing, int member, QStatusBar *bar, QObject *parent);
    ~LiveCursors() override;

    // Starts publishing and following the others.
    void Start();
    // The editor closes: its row goes.
    void Stop();
    // The pointer over the paint box, at a pixel and its paper point.
    void PointerAt(int px, int py, double x, double y);
    void PointerLeft();
    // Draws the others' pointers over the picture for the view.
    void Paint(QPainter &p, const View &view) const;
    // Reads the others again now.
    void ReadOthers();
    // How often the others are read without a note (tests lengthen it).
    void SetReadMs(int ms);

    const std::vector<PresenceRow> &Others() const { return others; }
    // "在席: 山田, 佐藤" or empty when nobody else is there.
    QString WhoText() const;
    const QString &Key() const { return pc; }
    // The colour a PC's pointer is drawn in.
    static unsigned ColourOf(const QString &pc);

    static constexpr int PublishMs = 50; // 20 a second at most
    static constexpr int KeepAliveMs = 3000;
    static constexpr int ReadMs = 1000;
    static constexpr int ReadGapMs = 50;

signals:
    // What is drawn of the others changed.
    void Changed();

private:
    void Publish();
    void PublishSoon();
    // On a note: read now, or once the last reading is ReadGapMs old, so that ten PCs'
    // pointers moving at once cost no more than 20 readings a second.
    void ReadSoon();

    Database &db;
    const int drawing;
    const int member;
    const QString pc;
    LiveWatch *live;
    QLabel *who;
    QTimer *pending;
    QTimer *keepAlive;
    QTimer *reader;
    QTimer *readLater;
    QElapsedTimer sincePublish;
    QElapsedTimer sinceRead;
    bool started = false;
    // What is to be published, and the pixel and state last published.
    double x = 0, y = 0;
    int px = 0, py = 0;
    bool inside = false;
    int sentPx = -1000000, sentPy = -1000000;
    bool sentInside = false;
    bool sentOnce = false;
    std::vector<PresenceRow> others;
};
