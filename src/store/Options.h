#pragma once

#include "platform/Registry.h"

// The keys of the settings store and the catalogue of options, each with the default
// that applies whenever its value cannot be read.

inline constexpr const char* REGKEY_SOFTWARE = "Software";
inline constexpr const char* REGKEY_MAKER = "hollin";
inline constexpr const char* REGKEY_PRODUCT = "QLIO";
inline constexpr const char* REGKEY_OPTION = "option";
inline constexpr const char* REGKEY_LIST = "list";
// Holds the value "first" once the first-run wizard has run.
inline constexpr const char* REGKEY_FIRST = "wizard";
inline constexpr const char* REGVAL_FIRST = "first";
inline constexpr const char* REGVAL_BLACK = "black";
inline constexpr const char* REGVAL_WHITE = "white";

// Rights every key of the store is opened with, reads included: KEY_READ, KEY_SET_VALUE
// and KEY_CREATE_SUB_KEY.
inline constexpr REGSAM STORE_KEY_RIGHTS = 0x2001F;

struct COption {
    const char* szName;
    DWORD dwDefault;
};

// Clean time ("cletime") values.
inline constexpr DWORD CLEAN_TIME_STARTING = 1;
inline constexpr DWORD CLEAN_TIME_RUNNING = 2;
inline constexpr DWORD CLEAN_TIME_CLOSING = 3;

inline constexpr COption OPT_SPEED{"speed", 20};       // pixels per step of the page slide
inline constexpr COption OPT_MOVE{"bmove", 0};         // slide pages in on tab change
inline constexpr COption OPT_MINSTART{"bminst", 0};    // start with the main window hidden
inline constexpr COption OPT_ONTOP{"bontop", 0};       // main window always on top
inline constexpr COption OPT_ANIMICON{"banimico", 0};  // kill image in the tray
inline constexpr COption OPT_SPEAKER{"bspeaker", 0};   // beep on a kill
inline constexpr COption OPT_SOUNDBOX{"bsndbox", 0};   // kill sound
inline constexpr COption OPT_STARTWIN{"bswwin", 0};    // start with the system
inline constexpr COption OPT_CLEANTIME{"cletime", 0};  // CLEAN_TIME_*; 0 acts as running
inline constexpr COption OPT_KILLHISTORY{"bklhsty", 0};
inline constexpr COption OPT_KILLCACHE{"bklcach", 0};
inline constexpr COption OPT_KILLCOOKIES{"bklcoki", 0};
inline constexpr COption OPT_KILLFAVORITES{"bklfav", 0};
inline constexpr COption OPT_KILLRECENT{"bklrec", 0};
inline constexpr COption OPT_SELECTALL{"selall", 0};
