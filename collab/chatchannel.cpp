#include "collab/chatchannel.h"

#include "base/values.h"
#include "db/database.h"
#include "db/liveevents.h"
#include "db/sqltext.h"
#include "db/textcodec.h"

#include <climits>

namespace {

QString dayText(const QDateTime &now)
{
    return now.date().toString(QStringLiteral("yyyyMMdd"));
}

} // namespace

void ChatChannel::Reset(const QDateTime &now)
{
    lastChatNo = 0;
    day = dayText(now);
    previousDay.clear();
    catchUpUntil = QDateTime();
}

QString ChatChannel::Condition(const QDateTime &now)
{
    const QString today = dayText(now);
    if (today != day) {
        // Lines written just before midnight (or by a PC whose clock lags) may reach the
        // database after this PC's date changed.
        previousDay = day;
        day = today;
        catchUpUntil = now.addSecs(CatchUpSeconds);
    }
    QString dates = QStringLiteral("CHAT.CDATE=") + SqlQuoted(day);
    if (!previousDay.isEmpty() && now < catchUpUntil)
        dates = u'(' + dates + QStringLiteral(" OR CHAT.CDATE=") + SqlQuoted(previousDay) + u')';
    return dates + QStringLiteral(" AND CHAT.MN=MEMBER.N AND CHAT.N>")
           + QString::number(lastChatNo);
}

bool ChatChannel::Poll(const QDateTime &now, QStringList &lines)
{
    lines.clear();
    if (day.isEmpty())
        Reset(now);
    const QList<QStringList> rows =
        db.SelectRows(QStringLiteral("CHAT.N,MEMBER.PNAME,CHAT.CTEXT,CHAT.CDATE,CHAT.CTIME"),
                      QStringLiteral("CHAT,MEMBER"), Condition(now), QStringLiteral("CHAT.N"));
    if (!db.DatabaseConnected() || !db.LastError().isEmpty())
        return false;
    for (const QStringList &row : rows) {
        QString date = row.value(3), time = row.value(4);
        // Only a well-formed date and time are reshaped; anything else shows as stored.
        if (ReadableTime && date.size() == 8 && time.size() == 6) {
            date = date.left(4) + u'/' + date.mid(4, 2) + u'/' + date.mid(6);
            time = time.left(2) + u':' + time.mid(2, 2) + u':' + time.mid(4);
        }
        lines << row.value(1) + u'＞' + row.value(2) + u'(' + date + u' ' + time + u')';
        lastChatNo = std::max(lastChatNo, StrToIntZ(row.value(0)));
    }
    return true;
}

ChatChannel::SendResult ChatChannel::Send(const QString &text, int writer, const QDateTime &now)
{
    const std::optional<QByteArray> bytes = ToCp932(text);
    if (!bytes)
        return SendResult::NotCp932;
    if (bytes->size() > TextBytes)
        return SendResult::TooLong;

    // A writer missing from MEMBER would never see the line: the poll joins on it.
    QStringList values;
    const QString writerNo = QString::number(writer);
    if (db.SqlSelectRow(QStringLiteral("COUNT(*)"), QStringLiteral("MEMBER"),
                        QStringLiteral("N=") + writerNo, values) < 1)
        return SendResult::Failed;
    if (StrToIntZ(values.value(0)) == 0)
        return SendResult::UnknownWriter;

    // Never below what this window has shown: after the newest lines were deleted, MAX + 1
    // would take a number every open window has already passed.
    qint64 number = std::max(lastChatNo, 0);
    const QStringList columns{QStringLiteral("N"), QStringLiteral("MN"), QStringLiteral("CTEXT"),
                              QStringLiteral("CDATE"), QStringLiteral("CTIME")};
    const QStringList fixed{writerNo, SqlQuoted(text), SqlQuoted(dayText(now)),
                            SqlQuoted(now.time().toString(QStringLiteral("HHmmss")))};
    for (int attempt = 0; attempt < SendAttempts; ++attempt) {
        // The next number after every committed one, so that lines are committed in the
        // order of their numbers and no poll passes over a line still being written.
        if (db.SqlSelectRow(QStringLiteral("MAX(N)"), QStringLiteral("CHAT"), QString(), values)
            < 1)
            return SendResult::Failed;
        const qint64 max = StrToIntZ(values.value(0));
        if (attempt > 0 && max < number)
            return SendResult::Failed; // the number was free: not a collision
        number = std::max(number, max) + 1;
        if (number > INT_MAX)
            return SendResult::NoNumber;
        // The other PCs' windows hear of the line once it is committed, not before.
        if (db.StartTransaction()
            && db.SqlInsertNoCommit(QStringLiteral("CHAT"), columns.join(u','),
                                    (QStringList{QString::number(number)} + fixed).join(u','))
            && db.PostEventNoCommit(LiveEvents::ChatEvent()) && db.CommitTransaction())
            return SendResult::Sent;
        db.RollbackTransaction();
    }
    return SendResult::Busy;
}

QString ChatChannel::Message(SendResult result)
{
    switch (result) {
    case SendResult::Sent:
        return {};
    case SendResult::NotCp932:
        return QStringLiteral("送信出来ない文字が含まれています。文章を確認して下さい");
    case SendResult::TooLong:
        return QStringLiteral("文章は半角80文字（全角40文字）以内で入力して下さい");
    case SendResult::UnknownWriter:
        return QStringLiteral("PC利用者がメンバーに登録されていません。"
                              "PC利用者名の登録を行って下さい");
    case SendResult::NoNumber:
        return QStringLiteral("チャットの番号が上限に達しました。"
                              "チャット内容の編集で整理して下さい");
    case SendResult::Busy:
        return QStringLiteral("他のPCの送信と重なりました。もう一度送信して下さい");
    case SendResult::Failed:
        break;
    }
    return QStringLiteral("送信出来ませんでした。データベースの接続を確認して下さい");
}
