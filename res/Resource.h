#pragma once

#include <string_view>

// Numeric ids of the program's resources. Each picture and sound is in res/quellio.qrc under
// ":/<type>/<id>" (an icon is a folder of sizes), so the number here is the whole link
// between the code and the file.

inline constexpr std::string_view RT_ICON = "ICON";
inline constexpr std::string_view RT_BITMAP = "BITMAP";
inline constexpr std::string_view RT_WAVE = "WAVE";

// Icons.
inline constexpr int IDR_MAINFRAME = 128;  // the program's icon
inline constexpr int IDI_TRAY_ON = 129;    // tray image while blocking is on
inline constexpr int IDI_TRAY_KILL = 139;  // tray image shown for a kill
inline constexpr int IDI_TRAY_OFF = 162;   // tray image while blocking is off

// Bitmaps.
inline constexpr int IDB_TIP_HEADING = 103;  // heading of the tip of the day, 40 x 53
inline constexpr int IDB_MENU_SIDE = 143;  // side band of the tray menu, 16 x 252
inline constexpr int IDB_MENU_OFF = 165;   // "OFF/ON" picture while blocking is off
inline constexpr int IDB_MENU_ON = 166;    // "OFF/ON" picture while blocking is on
inline constexpr int IDB_MENU_GENERAL = 167;
inline constexpr int IDB_MENU_HISTORY = 168;
inline constexpr int IDB_MENU_BLACKLIST = 169;
inline constexpr int IDB_MENU_WHITELIST = 170;
inline constexpr int IDB_MENU_LOGS = 171;
inline constexpr int IDB_MENU_ABOUT = 172;
inline constexpr int IDB_MENU_HELP_TOPICS = 174;
inline constexpr int IDB_MENU_HELP_ONLINE = 175;
inline constexpr int IDB_MENU_TIP = 176;
inline constexpr int IDB_MENU_EXIT = 177;
inline constexpr int IDB_MAKER = 158;  // the maker's picture on the About page, 37 x 37
inline constexpr int IDB_LOGO = 185;   // picture at the main window's lower left, 38 x 37

// The kill sound: an 8-bit mono 11 025 Hz RIFF wave image.
inline constexpr int IDR_WAVE_KILL = 150;

// The tray menu and its commands.
inline constexpr int IDR_TRAYMENU = 141;
inline constexpr int ID_MENU_GENERAL = 32778;
inline constexpr int ID_MENU_HISTORY = 32779;
inline constexpr int ID_MENU_BLACKLIST = 32780;
inline constexpr int ID_MENU_WHITELIST = 32781;
inline constexpr int ID_MENU_LOGS = 32782;
inline constexpr int ID_MENU_ABOUT = 32783;
inline constexpr int ID_MENU_HELP_TOPICS = 32785;
inline constexpr int ID_MENU_HELP_ONLINE = 32786;
inline constexpr int ID_MENU_TIP = 32787;
inline constexpr int ID_MENU_EXIT = 32788;
inline constexpr int ID_MENU_OFFON = 32791;
