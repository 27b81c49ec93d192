// The settings file beside the program: 75 CR LF lines in CP932, a value per line.
#pragma once

#include <QString>

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

    Settings();
};

// False while the editor's size is the default one: no editor was sized on this PC yet.
bool EditorSizeKept(const Settings &settings);

constexpr int SettingsLineCount = 75;

// Defaults, then whatever the file holds; a missing or unreadable file leaves defaults.
Settings LoadSettingsFile(const QString &path);
// All or nothing: on any failure (a value CP932 cannot hold, a read-only file, a failed
// write) the old file stays exactly as it was.
bool SaveSettingsFile(const QString &path, const Settings &settings);
