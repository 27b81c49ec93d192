#include "base/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace {

MessageRecorder *&recorder()
{
    static MessageRecorder *r = nullptr;
    return r;
}

QWidget *owner()
{
    QWidget *w = QApplication::activeModalWidget();
    return w ? w : QApplication::activeWindow();
}

} // namespace

MessageRecorder::MessageRecorder() : outer(recorder())
{
    recorder() = this;
}

MessageRecorder::~MessageRecorder()
{
    if (recorder() == this)
        recorder() = outer;
}

void ShowMessage(const QString &text)
{
    if (MessageRecorder *r = recorder()) {
        r->texts.append(text);
        return;
    }
    QMessageBox::information(owner(), QApplication::applicationName(), text);
}

bool AskYesNo(const QString &text)
{
    if (MessageRecorder *r = recorder()) {
        r->texts.append(text);
        return !r->answers.isEmpty() && r->answers.takeFirst();
    }
    return QMessageBox::question(owner(), QApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}
