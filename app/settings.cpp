#include "app/settings.h"

#include "db/textcodec.h"
#include "app/values.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <iterator>
#include <vector>

namespace {

struct Field
{
    QString *text = nullptr;
    int *number = nullptr;
    int minimum = INT_MIN;
};

// The file's lines in order, bound to the values they hold.
std::vector<Field> fieldsOf(Settings &s)
{
    std::vector<Field> f;
    auto text = [&](QString &v) { f.push_back({&v, nullptr}); };
    auto number = [&](int &v, int minimum = INT_MIN) { f.push_back({nullptr, &v, minimum}); };
    auto geometry = [&](int first, int count) {
        for (int i = first; i < first + count; ++i)
            number(s.windowGeometry[i]);
    };
    text(s.ServerName);
    text(s.DataFolder);
    text(s.DbFileName);
    number(s.PcUserNo);
    text(s.PcUserName);
    geometry(0, 12);
    number(s.ChatWindow.width);
    number(s.ChatWindow.height);
    geometry(12, 4);
    number(s.ListWindow.width, 80);
    number(s.ListWindow.height, 80);
    for (int &w : s.ListColumns)
        number(w, 32);
    number(s.EditorWidth);
    number(s.EditorHeight);
    number(s.LayersDialog.left);
    number(s.LayersDialog.top);
    for (int &w : s.LayersColumns)
        number(w, 16);
    number(s.ColorsDialog.left);
    number(s.ColorsDialog.top);
    for (int &w : s.ColorsColumns)
        number(w, 16);
    number(s.LtypesDialog.left);
    number(s.LtypesDialog.top);
    for (int &w : s.LtypesColumns)
        number(w, 16);
    number(s.WidthDialog.left);
    number(s.WidthDialog.top);
    number(s.GridDialog.left);
    number(s.GridDialog.top);
    Q_ASSERT(f.size() == SettingsLineCount);
    return f;
}

bool isReadOnly(const QString &path)
{
    // Checked on the permission bits, so that a read-only file stays so even for root.
    const QFileInfo info(path);
    const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.exists() && !(info.permissions() & writeBits);
}

} // namespace

Settings::Settings()
{
    ListColumns.fill(32);
    LayersColumns.fill(32);
    ColorsColumns.fill(32);
    LtypesColumns.fill(32);
}

bool EditorSizeKept(const Settings &settings)
{
    const Settings defaults;
    return settings.EditorWidth > 0 && settings.EditorHeight > 0
           && (settings.EditorWidth != defaults.EditorWidth
               || settings.EditorHeight != defaults.EditorHeight);
}

Settings LoadSettingsFile(const QString &path)
{
    Settings s;
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return s;
    QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    s.windowGeometryRead = true;
    const std::vector<Field> fields = fieldsOf(s);
    for (size_t i = 0; i < fields.size(); ++i) {
        QByteArray line = qsizetype(i) < lines.size() ? lines[qsizetype(i)] : QByteArray();
        if (line.endsWith('\r'))
            line.chop(1);
        const Field &f = fields[i];
        if (f.text) {
            *f.text = FromCp932(line);
        } else {
            *f.number = StrToIntZ(QString::fromLatin1(line));
            if (*f.number < f.minimum)
                *f.number = f.minimum;
        }
    }
    auto extra = [&](int index) {
        QByteArray line = index < lines.size() ? lines[index] : QByteArray();
        if (line.endsWith('\r'))
            line.chop(1);
        return StrToIntZ(QString::fromLatin1(line)) == 1;
    };
    s.WheelTowardUserZoomsOut = extra(SettingsLineCount);
    s.AutoRegisterDates = extra(SettingsLineCount + 1);
    s.ChatReadableTime = extra(SettingsLineCount + 2);
    return s;
}

bool SaveSettingsFile(const QString &path, const Settings &settings)
{
    if (isReadOnly(path))
        return false;
    Settings copy = settings;
    QByteArray content;
    for (const Field &f : fieldsOf(copy)) {
        if (f.text) {
            // A line break would shift every following value to the wrong line.
            if (f.text->contains(u'\r') || f.text->contains(u'\n'))
                return false;
            const std::optional<QByteArray> bytes = ToCp932(*f.text);
            if (!bytes)
                return false;
            content += *bytes;
        } else {
            content += QByteArray::number(*f.number);
        }
        content += "\r\n";
    }
    const bool extras[] = {settings.WheelTowardUserZoomsOut, settings.AutoRegisterDates,
                           settings.ChatReadableTime};
    if (std::find(std::begin(extras), std::end(extras), true) != std::end(extras)) {
        for (const bool on : extras)
            content += on ? "1\r\n" : "0\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
