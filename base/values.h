// Small conversions and checks used by every window on texts from edits, grids and query
// results. Bad input gives 0, false or an empty text; nothing here shows a message.
#pragma once

#include "db/sqltext.h" // SqlText: the windows write their field values with it

#include <QString>

qint32 StrToIntZ(const QString &text);
double StrToFloatZ(const QString &text);
bool IsAllDigits(const QString &text);
bool IsValidDate(const QString &text);
// The message of every date field IsValidDate refuses.
QString DateMessage();
QString RemoveBlanks(const QString &text);
QString RemoveQuotes(const QString &text);
// True when the text holds a character that must never reach SQL text: ' or ".
bool HasQuote(const QString &text);
QString TextBeforeColon(const QString &text);
QString TextAfterColon(const QString &text);
// Lets the window events run meanwhile; returns early when the application is quitting.
void WaitTicks(int milliseconds);

struct PaperSize
{
    QString name;
    double width;
    double height;
};
constexpr int PaperSizeCount = 13;
PaperSize GetPaperSize(int index);

// Today's local date as "yyyymmdd" and the local time as "hhnnss".
QString TodayText();
QString NowText();
// A real number in the general format with up to 15 significant digits: 1189, 297.5.
QString FloatText(double value);
