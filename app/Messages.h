#pragma once

#include "WindowTypes.h"

// Posted by the main page's events; each runs one command of the main window.
inline constexpr unsigned UWM_SELECT_SCREEN = WM_USER + 1;
inline constexpr unsigned UWM_FILE_NEW = WM_USER + 2;
inline constexpr unsigned UWM_FILE_OPEN = WM_USER + 3;
inline constexpr unsigned UWM_FILE_SAVE = WM_USER + 4;
inline constexpr unsigned UWM_SETUP = WM_USER + 5;
inline constexpr unsigned UWM_CLEAR = WM_USER + 6;
inline constexpr unsigned UWM_SEND = WM_USER + 7;
inline constexpr unsigned UWM_STAMP_CHANGED = WM_USER + 8;
inline constexpr unsigned UWM_TOGGLE_MINI = WM_USER + 9;

// Posted once at start when the command line names a screen set: opens it as Open does.
inline constexpr unsigned UWM_OPEN_START_FILE = WM_USER + 10;

// F2 and --monitor: shows or hides the unit monitor.
inline constexpr unsigned UWM_TOGGLE_MONITOR = WM_USER + 11;

// The cue list: Ctrl+Space (wParam 0) or Return on a row (its cue) takes a cue; Ctrl+Down
// (wParam 1) and Ctrl+Up (wParam 2) move the next marker; F3 shows or hides the list.
inline constexpr unsigned UWM_CUE_TAKE = WM_USER + 12;
inline constexpr unsigned UWM_CUE_MOVE = WM_USER + 13;
inline constexpr unsigned UWM_TOGGLE_CUES = WM_USER + 14;
// Holds the timed cues, or lets them run again.
inline constexpr unsigned UWM_CUE_AUTOMATION = WM_USER + 40;

// The once-a-second timer that keeps the clock on the picture running.
inline constexpr unsigned IDT_STAMP = 1;
// The once-a-minute look at whether the machine's clock is synchronised.
inline constexpr unsigned IDT_CLOCK = 2;
