#include "base/settings.h"

#include "base/values.h"
#include "db/textcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>
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

bool hasWriteBits(const QFileInfo &info)
{
    const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return bool(info.permissions() & writeBits);
}

// Written by people and by this program: lines of text. A file holding control bytes (a
// binary file, another program's) must not be taken for one and overwritten at exit; odd
// numbers in a text file are still read as the described zeros.
bool looksLikeSettings(const QByteArray &content)
{
    if (content.size() > 64 * 1024)
        return false;
    for (const char c : content) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\r' && b != '\n' && b != '\t') || b == 0x7f)
            return false;
    }
    return true;
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

Settings LoadSettingsFile(const QString &path, SettingsRead *status)
{
    Settings s;
    SettingsRead dummy;
    SettingsRead &read = status ? *status : dummy;
    read = SettingsRead::Missing;
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return s;
    const QByteArray content = file.read(64 * 1024 + 1);
    file.close();
    QList<QByteArray> lines = content.split('\n');
    if (!looksLikeSettings(content)) {
        read = SettingsRead::NotSettings;
        return s;
    }
    read = SettingsRead::Read;
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
    {
        QByteArray line = SettingsLineCount + 3 < lines.size() ? lines[SettingsLineCount + 3]
                                                                : QByteArray();
        bool ok = false;
        const int kinds = QString::fromLatin1(line.trimmed()).toInt(&ok);
        // A value of no known kinds leaves the default rather than no snap at all.
        if (ok && kinds >= 0 && kinds <= 511)
            s.SnapKinds = kinds;
    }
    if (lines.size() > 79) {
        QByteArray team = lines[79];
        if (team.endsWith('\r'))
            team.chop(1);
        s.TeamName = FromCp932(team);
    }
    s.FilingMargin = extra(80);
    // A dimension value out of its range leaves the default.
    const auto real = [&](int index, double low, double high, double &v) {
        if (index >= lines.size())
            return;
        bool ok = false;
        const double d = QString::fromLatin1(lines[index].trimmed()).toDouble(&ok);
        if (ok && std::isfinite(d) && d >= low && d <= high)
            v = d;
    };
    double height = 0, arrow = -1, decimals = -1;
    real(81, 2.5, 7, height);
    for (const double h : {2.5, 3.5, 5.0, 7.0}) {
        if (height == h)
            s.DimTextHeight = h;
    }
    real(82, 0, 2, arrow);
    if (arrow == 0 || arrow == 1 || arrow == 2)
        s.DimArrowKind = int(arrow);
    real(83, 0.1, 50, s.DimArrowSize);
    real(84, 0, 50, s.DimOvershoot);
    real(85, 0, 50, s.DimGap);
    real(86, 0, 3, decimals);
    if (decimals == 0 || decimals == 1 || decimals == 2 || decimals == 3)
        s.DimDecimals = int(decimals);
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
    const bool snaps = settings.SnapKinds != Settings::DefaultSnapKinds
                       && settings.SnapKinds >= 0 && settings.SnapKinds <= 511;
    // Lines 82 to 87 up to the last that differs from its default.
    const Settings defaults;
    const double dims[] = {settings.DimTextHeight, double(settings.DimArrowKind),
                           settings.DimArrowSize, settings.DimOvershoot, settings.DimGap,
                           double(settings.DimDecimals)};
    const double dimDefaults[] = {defaults.DimTextHeight, double(defaults.DimArrowKind),
                                  defaults.DimArrowSize, defaults.DimOvershoot,
                                  defaults.DimGap, double(defaults.DimDecimals)};
    int dimLines = 0;
    for (int i = 0; i < 6; ++i) {
        if (!std::isfinite(dims[i]))
            return false;
        if (dims[i] != dimDefaults[i])
            dimLines = i + 1;
    }
    const bool framed = !settings.TeamName.isEmpty() || settings.FilingMargin || dimLines > 0;
    if (snaps || framed
        || std::find(std::begin(extras), std::end(extras), true) != std::end(extras)) {
        for (const bool on : extras)
            content += on ? "1\r\n" : "0\r\n";
    }
    if (snaps || framed)
        content += QByteArray::number(snaps ? settings.SnapKinds : Settings::DefaultSnapKinds)
                   + "\r\n";
    if (framed) {
        if (settings.TeamName.contains(u'\r') || settings.TeamName.contains(u'\n'))
            return false;
        const std::optional<QByteArray> team = ToCp932(settings.TeamName);
        if (!team)
            return false;
        content += *team + "\r\n" + (settings.FilingMargin ? "1\r\n" : "0\r\n");
    }
    for (int i = 0; i < dimLines; ++i)
        content += QByteArray::number(dims[i], 'g', 10) + "\r\n";
    // The user's configuration folder may not exist before the first save.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

SettingsPlace ChooseSettingsPlace(const QString &programFile, const QString &userFile,
                                  const QStringList &siteFiles)
{
    // Judged on the permission bits as well, so that an installed program run by root
    // does not write into the system's program folder.
    const QFileInfo file(programFile);
    const QFileInfo folder(file.absolutePath());
    const bool writable = file.exists()
        ? file.isWritable() && hasWriteBits(file) && folder.isWritable()
        : folder.isDir() && folder.isWritable() && hasWriteBits(folder);
    if (writable)
        return {programFile, {}};
    return {userFile, QStringList{programFile} + siteFiles};
}

QString SettingsSource(const SettingsPlace &place)
{
    QString source = place.file;
    for (const QString &start : place.startingPoints) {
        if (QFile::exists(source))
            break;
        source = start;
    }
    return source;
}

SettingsPlace DefaultSettingsPlace()
{
    // The folder is named after the program file, not the window title the application
    // name carries.
    const QFileInfo program(QCoreApplication::applicationFilePath());
    const QString base = program.completeBaseName();
    const QString name = base + QStringLiteral(".dat");
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QStringList site;
    for (const QString &folder : folders) {
        if (folder != user)
            site.append(QDir(folder).filePath(base + u'/' + name));
    }
    return ChooseSettingsPlace(program.path() + u'/' + name,
                               QDir(user).filePath(base + u'/' + name), site);
}

QString SetSettingsFileAside(const QString &path)
{
    for (int i = 1; i <= 100; ++i) {
        const QString aside = path + (i == 1 ? QStringLiteral(".broken")
                                             : QStringLiteral(".broken%1").arg(i));
        if (QFile::exists(aside))
            continue;
        return QFile::rename(path, aside) ? aside : QString();
    }
    return {};
}

QString DatabasePath(const Settings &settings)
{
    return settings.ServerName + settings.DataFolder + settings.DbFileName;
}
