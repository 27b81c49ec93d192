// Conversion between the program's Unicode texts and the CP932 bytes kept in the database
// and in the settings file.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Empty when the text holds a character that CP932 cannot represent.
std::optional<QByteArray> ToCp932(const QString &text);
// Bytes that are not valid CP932 become U+FFFD.
QString FromCp932(const QByteArray &bytes);
