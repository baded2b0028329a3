#pragma once
// Every id the console uses: its commands (WM_COMMAND), menu items, string
// table entries, icons and bitmaps. The server's shared ids are in ServerIds.h.
#include "QvWindows.h"
#include "ServerIds.h"

// Commands of the start and shutdown chain the server never sends itself.
const int CMD_CLOSE = 0x10;  // taken as CMD_SHUTDOWN_REQUEST
const int CMD_LINE4 = 0xC88;

// Menu commands.
const int MENU_EXIT = 0x4B1;
const int MENU_RESTART_APP = 0x4B2;
const int MENU_RESET_CONNECTION = 0x4B4;
const int MENU_CLEAR_SYSTEM_LOG = 0x4BA;
const int MENU_CLEAR_HTTP_LOG = 0x4BB;
const int MENU_CLEAR_FTP_LOG = 0x4BC;
const int MENU_VIEW_CONNECTING = 0x4C5;
const int MENU_VIEW_REQUESTS = 0x4C6;
const int MENU_DETAIL_POPUP = 0x4C7;
const int MENU_VIEW_SYSTEM_LOG = 0x4C8;
const int MENU_VIEW_TRACE_LOG = 0x4CA;
const int MENU_VIEW_HTTP_LOG = 0x4CB;
const int MENU_VIEW_FTP_LOG = 0x4CC;
const int MENU_OPTIONS = 0x4CD;
const int MENU_VIEW_CACHE_DETAIL = 0x4CE;
const int MENU_CACHE_LIST = 0x4CF;
const int MENU_CONNECT_SETTINGS = 0x4ED;
const int MENU_LINE1 = 0x4EE;  // + n - 1 for line n, up to 0x4F1
const int MENU_SUBMIT_REQUEST = 0x515;
const int MENU_STATUS_DISPLAY = 0x516;
const int MENU_LOG_ALL_REQUESTS = 0x517;
const int MENU_TRACE_STARTED = 0x529;
const int MENU_TRACE_PAUSED = 0x52A;
const int MENU_TRACE_OUTPUT = 0x52B;
const int MENU_TRACE_CLEAR = 0x52C;
const int MENU_TRACE_COMM = 0x52D;
const int MENU_TRACE_APP = 0x52E;
const int MENU_TRACE_MEMORY = 0x52F;
const int MENU_TRACE_TASK = 0x531;
const int MENU_TRACE_FUNCTION = 0x532;
const int MENU_TRACE_CACHE = 0x533;
const int MENU_CLEAR_CACHE = 0x53D;
const int MENU_WRITE_DETAIL = 0x53E;
const int MENU_WRITE_DATA = 0x53F;
const int MENU_ABOUT = 0x579;
const int MENU_GENERAL_HELP = 0x57A;
const int MENU_HELP_INDEX = 0x57B;

// Private window messages.
const UINT APP_MESSAGE = WM_USER + 100;  // 0x464: the application message
const UINT TRAY_MESSAGE = WM_USER + 101;  // 0x465: the tray icon's callback

// Menus.
const int IDM_MAIN = 1000;
const int IDM_SUPPORT = 1001;

// Icons and bitmaps.
const int IDI_LARGE = 1100;
const int IDI_SMALL = 1101;
const int IDI_TRAY = 1102;
const int IDI_ANIMATION = 1111;  // + i for animation icon i, up to 1120
const int IDB_BACKGROUND = 2500;
const int IDB_BACKGROUND_NT = 2501;  // NT and displays of 16 colours or fewer

// String-table ids of the console (the server's are in ServerIds.h).
const int IDS_HELP_TITLE = 4;
const int IDS_APP_CLASS = 8;
const int IDS_HELP_FILE = 13;
const int IDS_WRITE_ERROR = 21;
const int IDS_SUBMIT_FAILED = 23;
const int IDS_VERSION_LABEL = 34;
const int IDS_VERSION = 35;
const int IDS_TICK_INTERVAL = 37;
const int IDS_DIAL_LINE = 47;
const int IDS_HANGUP_LINE = 48;
const int IDS_CONFIGURE_CAPTION = 50;
const int IDS_CONFIGURE_TEXT = 51;
const int IDS_TRACE_CLEARED = 60;
const int IDS_OUTPUT_WRITTEN = 61;
const int IDS_CACHE_CLEARED = 62;
const int IDS_LOG_CLEARED = 63;
const int IDS_STARTING = 64;
const int IDS_NOT_READY = 72;
const int IDS_CLEAR_CAPTION = 80;
const int IDS_CLEAR_CACHE = 81;
const int IDS_CLEAR_LOG = 82;
const int IDS_ANIMATION_COUNT = 1000;
const int IDS_ICON_FILE_LARGE = 1001;
const int IDS_ICON_FILE_SMALL = 1002;
const int IDS_ICON_FILE_TRAY = 1003;
const int IDS_ICON_FILE_ANIMATION = 1004;  // + i for animation icon i
const int IDS_BACKGROUND_FILE = 1040;
