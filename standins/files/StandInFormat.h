#pragma once
// The dial-up stand-ins (rasapi32.dll in an NT and a Windows 95 variant,
// rnaph.dll, route.exe, dialstk.dll, dialstat.exe) and the three files
// through which tests steer and watch them. This header is their one
// description; extend the formats here, keeping every existing meaning.
//
// FOLDER: the files lie in the folder named by the environment variable
// QV_STANDINS, else in the stand-in's own folder.
//
// scenario.ini: written by the test, read again at every call. INI form;
// a line starting with ';', or a blank followed by ';' inside a line, starts
// a comment. Sections and keys compare without case. Unknown keys are
// journaled once per process (event "ignored") and otherwise ignored.
//   [Phonebook]
//   Entries=Line One,Line Two   ; the entries in enumeration order
//   [Entry Line One]            ; one section per entry
//   Phone=5551234
//   User=user1
//   Password=pass1              ; empty: no password saved
//   Domain=
//   Options=0x00000000          ; 0x10 remote default gateway, 0x20 no LCP extensions
//   SubEntries=1
//   EntrySize=1796              ; 1768 for Windows 95
//   Address=127.0.0.2           ; PPP IP address of the connection
//   Speed=28800                 ; device port speed
//   Outcome=connect             ; connect|fail|session|silent
//   FailState=2                 ; fail: the state after which the error comes; -1: RasDialA returns it
//   Error=678
//   Delay=20                    ; ms between states
//   SetPropertiesFails=0        ; non-zero: RasSetEntryPropertiesA returns this error
//   ComPortRate=115200          ; session: values recorded in the Current Connection key
//   DNSAddress=127.0.0.1
//   DNSSuffix=
//   HeaderCompression=1
//   [Errors]
//   678=There was no answer.    ; RasGetErrorStringA texts; unlisted codes fail with 87
//   [Route]
//   Default=                    ; the simulated default route's gateway, empty: none
//   FailAdd=0                   ; non-zero: that kind of line is refused (exit 1)
//   FailChange=0
//   FailDelete=0
//   [Dial Stack]
//   Title=DIAL STACK STATUS     ; title of dialstat's window and dialog
//   Buttons=NO,OK               ; the dialog's buttons, e.g. &NO,&OK
//   DialDelay=300               ; ms from the dialog to the outcome
//   Outcome=online              ; online|fail
//   Linger=0                    ; ms the windows stay after WSAHangUpModem
//
// control.txt: commands appended while programs run, one a line. Every
// process that has a stand-in runs each command once, at its next call or
// within 100 ms where a stand-in thread or window is active; a process reads
// the file from its start. The entry is the rest of the line.
//   drop <entry>                        the entry's connections drop (0x2001, 629)
//   fail-next <error> <state> <entry>   the entry's next dial fails so (state -1: at once)
//   connect-external <entry>            a connection of the entry appears, connected
//   stack-offline                       the dial stack goes offline
// A command a component does not know is journaled (event "ignored").
//
// journal.txt: one line per call or event, appended whole by one write so
// that processes interleave whole lines; TAB-separated, LF-ended:
//   <GetTickCount> <pid> <component> <call> <result> [key=value ...]
// component: rasapi32, rnaph, route, dialstk, dialstat. result: decimal,
// route's exit code, or "-" for an event. Passwords appear as their length.
// Values never hold TAB or LF (replaced by blanks).
//   RasDialA                entry phone user size handle access status
//                           (access and status: "LineAccess" and "Status" of
//                           the Current Connection key at the call)
//   callback (event)        handle state error ext
//   RasHangUpA, RasGetConnectStatusA   handle state error
//   RasGetEntryDialParamsA, RasSetEntryDialParamsA   entry user password saved
//   RasGetEntryPropertiesA, RasSetEntryPropertiesA   entry size options (hex)
//   RasEnumConnectionsA, RasEnumEntriesA             size count
//   RasGetProjectionInfoA   handle address
//   RasGetErrorStringA      error
//   RnaGetDevicePort        handle speed
//   RasCreatePhonebookEntryA, RasEditPhonebookEntryA entry
//   ROUTE                   args (the raw parameter line)
//   WSADialModem, WSAHangUpModem, WSAIsOnline        arg
//   dialstat events: shown (window), dialog, click (button), command (id), closed
//   ignored (event)         section and key, or line: what was not understood
//
// Other machine state: route.exe keeps HKLM PersistentRoutes
// ("SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\PersistentRoutes",
// value "0.0.0.0,0.0.0.0,<gateway>,<metric>"); a "session" dial writes the
// Current Connection key (kCurrentConnectionKey), which must exist.

namespace standin {

const char kFolderVariable[] = "QV_STANDINS";
const char kScenarioFile[] = "scenario.ini";
const char kControlFile[] = "control.txt";
const char kJournalFile[] = "journal.txt";

// Named mutexes: whole-file rewrites of the scenario, and journal appends.
const char kScenarioMutex[] = "QvStandInScenario";
const char kJournalMutex[] = "QvStandInJournal";

const char kCurrentConnectionKey[] = "SOFTWARE\\Brellix Software\\Quorvane Corvath\\Current Connection";
const char kPersistentRoutesKey[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\PersistentRoutes";

// Components as the journal names them.
const char kRasApi32[] = "rasapi32";
const char kRnaph[] = "rnaph";
const char kRoute[] = "route";
const char kDialStk[] = "dialstk";
const char kDialStat[] = "dialstat";

// Commands.
const char kCommandDrop[] = "drop";
const char kCommandFailNext[] = "fail-next";
const char kCommandConnectExternal[] = "connect-external";
const char kCommandStackOffline[] = "stack-offline";

}  // namespace standin
