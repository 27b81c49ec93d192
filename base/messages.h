// The program's message boxes. Every window shows its messages through these two calls, so
// that tests can see and answer them.
#pragma once

#include <QString>
#include <QStringList>

void ShowMessage(const QString &text);
// True for Yes.
bool AskYesNo(const QString &text);

// While one exists, messages are recorded instead of shown, and questions get the queued
// answers (No once the queue is empty). The newest one records; it hands back to the one
// before it when it ends.
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    void answer(bool yes) { answers.append(yes); }
    QString last() const { return texts.value(texts.size() - 1); }
    void clear() { texts.clear(); }

    QStringList texts;
    QList<bool> answers;

private:
    MessageRecorder *outer;
};

#include "base/appcontext.h"

// The program's own way of telling: the message boxes above, so that a MessageRecorder sees
// what windows say through their context too.
class BoxMessages : public Messages
{
public:
    void Show(const QString &text) override { ShowMessage(text); }
    bool AskYesNo(const QString &text) override { return ::AskYesNo(text); }
};
