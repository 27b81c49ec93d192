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

    Settings();
};

constexpr int SettingsLineCount = 75;

// Defaults, then whatever the file holds; a missing or unreadable file leaves defaults.
Settings LoadSettingsFile(const QString &path);
// All or nothing: on any failure (a value CP932 cannot hold, a read-only file, a failed
// write) the old file stays exactly as it was.
bool SaveSettingsFile(const QString &path, const Settings &settings);
