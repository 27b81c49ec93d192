#include "db/sqltext.h"

QString SqlQuoted(const QString &text)
{
    QString literal = text;
    literal.replace(u'\'', QStringLiteral("''"));
    return u'\'' + literal + u'\'';
}

QString SqlText(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("NULL") : SqlQuoted(text);
}
