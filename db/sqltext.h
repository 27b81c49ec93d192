// The one way a text value is written into SQL text.
#pragma once

#include <QString>

// The text as a literal between single quotes, each quote inside it doubled.
QString SqlQuoted(const QString &text);
// The same literal, or NULL for an empty text (an empty field is stored as NULL).
QString SqlText(const QString &text);
