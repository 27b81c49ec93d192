// The chat lines of the day as one PC follows and writes them in the shared CHAT table:
// what a chat window polls and sends, without the window.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class Database;

class ChatChannel
{
public:
    explicit ChatChannel(Database &db) : db(db) {}

    // Starts again from the day of now, before any line was shown.
    void Reset(const QDateTime &now);

    // The display lines "name＞text(yyyymmdd hhnnss)" written since the last poll; false
    // when the database did not answer (nothing is then taken as shown).
    bool Poll(const QDateTime &now, QStringList &lines);

    enum class SendResult { Sent, NotCp932, TooLong, UnknownWriter, NoNumber, Busy, Failed };
    // Writes an already cleaned, non-empty text under the writer's member number.
    SendResult Send(const QString &text, int writer, const QDateTime &now);
    // What the user is told when a send did not go through; empty for Sent.
    static QString Message(SendResult result);

    // Times shown as "2026/12/07 13:02:41" rather than "20261207 130241".
    bool ReadableTime = false;

    // Bytes of the CTEXT column.
    static constexpr int TextBytes = 80;
    // Numbers tried one after another when other PCs took them first.
    static constexpr int SendAttempts = 5;
    // How long after the date changed the previous day's late lines are still looked for.
    static constexpr int CatchUpSeconds = 600;

private:
    QString Condition(const QDateTime &now);

    Database &db;
    int lastChatNo = 0;
    QString day;
    QString previousDay;
    QDateTime catchUpUntil;
};
