// The settings file: 75 CR LF lines in CP932, a value per line, beside the program or, when
// the program's folder is not writable, in the user's configuration folder.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

struct WindowPos
{
    int left = 100;
    int top = 100;
};

struct WindowSize
{
    int width = 320;
    int height = 240;
};

struct Settings
{
    QString ServerName = QStringLiteral("localhost:");
    QString DataFolder;
    QString DbFileName = QStringLiteral("CAD.FDB");
    int PcUserNo = 0;
    QString PcUserName;

    // Lines 6 to 17 and 20 to 23: the main window's left, top, width, height, then left and
    // top of the database settings, sections, members, PC user, chat log and revision
    // history dialogs. They belong to windows that exist from the start, so they are only
    // put on them when a file was read.
    std::array<int, 16> windowGeometry{};
    bool windowGeometryRead = false;

    WindowSize ChatWindow;
    WindowSize ListWindow;
    std::array<int, 13> ListColumns;
    int EditorWidth = 320;
    int EditorHeight = 240;
    WindowPos LayersDialog;
    std::array<int, 8> LayersColumns;
    WindowPos ColorsDialog;
    std::array<int, 4> ColorsColumns;
    WindowPos LtypesDialog;
    std::array<int, 13> LtypesColumns;
    WindowPos WidthDialog;
    WindowPos GridDialog;

    // Past the 75 lines, written only when it differs from the default, so that a file
    // with the default holds exactly the 75 lines older builds read.
    // Line 76: the wheel toward the user zooms out (1) instead of in (0, the default).
    bool WheelTowardUserZoomsOut = false;
    // Line 77: the creation date filled in at a new registration and the update date when
    // an editor stores a change (1); by hand only (0, the default).
    bool AutoRegisterDates = false;
    // Line 78: the chat shows a line's time as 2026/12/07 13:02:41 (1) instead of
    // 20261207 130241 (0, the default).
    bool ChatReadableTime = false;
    // Line 79: the snaps a right click takes, one bit a kind in the editor's priority
    // order (end 1, intersection 2, centre 4, middle 8, quadrant 16, perpendicular 32,
    // tangent 64, nearest 128, grid 256); 31 (the first five), the default, when absent.
    int SnapKinds = DefaultSnapKinds;
    static constexpr int DefaultSnapKinds = 31;
    // Line 80: the team's name in the sheets' title blocks (empty, the default).
    QString TeamName;
    // Line 81: the sheets' frames keep a 20 mm filing margin on the left (1) or the same
    // margin all round (0, the default).
    bool FilingMargin = false;
    // Lines 82 to 87, how dimensions look: the text height in mm (3.5; the JIS series 2.5,
    // 3.5, 5, 7), the arrow kind (0 arrow, 1 oblique tick, 2 dot), its size (3), the
    // extension lines' overshoot (2) and gap (1) in mm, the decimals (2, 0 to 3).
    double DimTextHeight = 3.5;
    int DimArrowKind = 0;
    double DimArrowSize = 3;
    double DimOvershoot = 2;
    double DimGap = 1;
    int DimDecimals = 2;

    Settings();
};

// False while the editor's size is the default one: no editor was sized on this PC yet.
bool EditorSizeKept(const Settings &settings);
// ServerName + DataFolder + DbFileName, nothing between.
QString DatabasePath(const Settings &settings);

constexpr int SettingsLineCount = 75;

enum class SettingsRead { Missing, Read, NotSettings };

// Defaults, then whatever the file holds; a missing or unreadable file leaves defaults, and
// so does one that is not a settings file at all (status NotSettings).
Settings LoadSettingsFile(const QString &path, SettingsRead *status = nullptr);
// All or nothing: on any failure (a value CP932 cannot hold, a read-only file, a failed
// write) the old file stays exactly as it was.
bool SaveSettingsFile(const QString &path, const Settings &settings);

// Where this PC's settings live: the file written at exit, and the files read in order when
// it does not exist yet (an administrator's default beside the program, a site-wide one).
struct SettingsPlace
{
    QString file;
    QStringList startingPoints;
};

// The program's own file while its folder can be written (as existing set-ups and other
// builds expect), else the user's file.
SettingsPlace ChooseSettingsPlace(const QString &programFile, const QString &userFile,
                                  const QStringList &siteFiles);
// The same for the running program, with the standard user and site folders.
SettingsPlace DefaultSettingsPlace();
// The file to read: the place's own when it exists, else the first starting point that does
// (the last one when none does).
QString SettingsSource(const SettingsPlace &place);
// Moves a file that is not a settings file out of the way; gives its new name, or empty.
QString SetSettingsFileAside(const QString &path);
