#pragma once
// The ids server and console agree on: WM_COMMAND ids, the application
// message codes (WM_USER+100) and the string-table ids the server reports.

// Commands (WM_COMMAND, 32-bit parameter).
const int CMD_START = 0xC1C;
const int CMD_DEBUG_RESULT = 0xC1E;
const int CMD_APP_STARTED = 0xC1F;
const int CMD_APP_STOPPED = 0xC20;
const int CMD_SHUTDOWN_REQUEST = 0xC21;
const int CMD_SHUTDOWN = 0xC22;
const int CMD_RELEASE_CONTROL = 0xC24;
const int CMD_STOPPED = 0xC25;
const int CMD_READY = 0xC26;
const int CMD_START_CONTROL = 0xC27;
const int CMD_START_ERROR = 0xC28;
const int CMD_ABEND = 0xC29;
const int CMD_CACHE_LOADING = 0xC2A;
const int CMD_START_LINES = 0xC2B;
const int CMD_RELOAD_RESULT = 0xC81;
const int CMD_TO_FRONT = 0xC84;
const int CMD_LINE1 = 0xC85;  // + n for line n + 1, up to 0xC88
const int CMD_INITIAL_REQUESTS = 0xC8C;
const int CMD_OPTIONS_DIALOG = 0x4CD;
const int CMD_APP_STATUS = 0x516;
const int CMD_REQUEST_LOGGING = 0x517;

// Application messages (code, 32-bit parameter).
const unsigned short APPMSG_STATUS_LINE = 0xC82;
const unsigned short APPMSG_FLUSH_LOG = 0xC83;
const unsigned short APPMSG_LINK = 0xC89;
const unsigned short APPMSG_LINE_CHECK = 0xC8A;
const unsigned short APPMSG_DRAW = 0xC8B;
const unsigned short APPMSG_SUBMIT = 0xC8D;
const unsigned short APPMSG_TEXT = 0xC8E;
const unsigned short APPMSG_MESSAGE_BOX = 0xC8F;
const unsigned short APPMSG_PROGRESS = 0xC90;

// String-table ids.
const int IDS_TITLE = 1;
const int IDS_ALERT_CAPTION = 3;
const int IDS_EDITOR = 14;
const int IDS_UNABLE_TO_START = 15;
const int IDS_NO_ACTIVE_APPS = 16;  // 0x10
const int IDS_NO_APPLICATIONS = 17;
const int IDS_CACHE_INVALID = 18;
const int IDS_NO_TCPIP = 19;
const int IDS_ABEND = 20;
const int IDS_DEBUG_CAPTION = 22;
const int IDS_INVALID_REQUEST = 25;
const int IDS_RELOAD_CAPTION = 27;
const int IDS_RELOAD_FAILED = 28;
const int IDS_EDITION = 36;
const int IDS_CACHE_LOADING = 65;
const int IDS_READY = 66;
const int IDS_CACHE_SAVING = 67;
const int IDS_SHUTTING_DOWN = 68;
const int IDS_SHUTDOWN_CAPTION = 69;
const int IDS_ACTIVE_REQUESTS = 70;
const int IDS_LINE_CONNECTED = 71;
const int IDS_FATAL_STATUS = 73;
const int IDS_CACHE_CONVERTING = 74;
const int IDS_CACHE_UPDATING = 75;
const int IDS_INVALID_VALUE = 100;
const int IDS_APP_STARTING = 101;
const int IDS_APP_STOPPING = 102;
const int IDS_APP_START_FAILED = 103;
const int IDS_APP_ABNORMAL_END = 104;
const int IDS_MAIN_INI = 107;
// Titles of the HTTP cache pages: all sites and one site, display and delete.
const int IDS_CACHE_CONTENTS = 263;  // also the title of the all-sites page
const int IDS_CACHE_URL_LIST = 264;   // head of the plain listing, a comment block
const int IDS_CACHE_REMOVE_ITEMS = 265;
const int IDS_CACHE_SITE_CONTENTS = 266;
const int IDS_CACHE_SITE_REMOVE = 267;

// The program's text for a string id: the string table's, else the built-in
// English text (programs without the server's resources, such as tests).
// Valid until the calling thread has asked for three more texts.
const char* ServerText(int id);
