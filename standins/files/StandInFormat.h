#pragma once
// The dial-up stand-ins (rasapi32.dll in an NT and a Windows 95 variant,
// rnaph.dll, route.exe, dialstk.dll, dialstat.exe), the Simple MAPI stand-in
// mapi32.dll, and the three files
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
//   SessionModule=C:\x\qvtrap32.dll ; session (rasapi32 for Windows 95): this
//                               ; session module serves the session instead
//   Device=Modem #2             ; RasGetConnectStatusA's device name
//   PortType=COM                ; RnaGetDevicePort's device type
//   Script=                     ; the entry's login script (Windows 95 entries)
//   SessionSize=812             ; the session information's size field
//   SessionNoPort=0             ; its field at 264
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
//   [Driver]                    ; the session host's driver "\\.\QVWINVXD.VXD"
//   Open=1                      ; 0: its open fails with 2
//   PortId=0x2002               ; code 2's answer: this id, then PortName
//   PortName=COM2
//   Refuse=                     ; control codes it refuses (error 31), e.g. 1,3
//   [Modem]                     ; the fake modem port behind lineGetID
//   Status=0xB0                 ; GetCommModemStatus bits (DSR 0x20, RLSD 0x80)
//   StatusFails=0               ; non-zero: GetCommModemStatus fails so
//   Baud=115200                 ; GetCommState's baud rate
//   LineGetIdFails=0            ; non-zero: lineGetID returns it
//   [Session]
//   HoldThreads=0               ; non-zero: the session module's threads wait
//                               ; until a hang-up has stopped the session
//   [MAPI]
//   FailLogons=0                ; the first n MAPILogon calls of each process fail (3)
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
// component: rasapi32, rnaph, route, dialstk, dialstat, mapi32. result: decimal,
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
//   RnaComplete             handle error
//   RnaTerminate            handle thread (1 when a thread handle came)
// Session hosting (rasapi32 for Windows 95 with SessionModule, and dunhost):
// the module is loaded with its imports bound by the host, which answers
// the driver and the fake modem itself (component vxd) and passes every
// other call through; components:
//   dunhost  load (module), RnaSessInitialize (size start stop), SMMSessStart
//            (handle size entry pending), stopping (event, before the stop
//            call; handle), SMMSessStop (handle), dial (entry notes)
//   vxd      CreateFileA (name access share disposition flags), DeviceIoControl
//            (handle code in out; in and out as hex), CloseHandle (handle),
//            DeleteFileA (name), GetCommModemStatus (handle status),
//            GetCommState and SetCommState (handle baud rts), CreateThread
//            (held); "fake=1" marks the calls the host answered itself
//   tapi32   lineGetID (line address call select class size), lineDrop (call)
//   smmpri, smmalt   the regular session modules: RnaSessInitialize
//            (protocol size), SMMSessStart (handle), SMMSessStop (handle),
//            RunRnaScript (handle)
//   RasCreatePhonebookEntryA, RasEditPhonebookEntryA entry
//   ROUTE                   args (the raw parameter line)
//   WSADialModem, WSAHangUpModem, WSAIsOnline        arg
//   dialstat events: shown (window), dialog, click (button), command (id), closed
//   MAPILogon               flags
//   MAPISendMail            handle flags note files, then path position per
//                           attachment (repeated keys, in the message's order)
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
const char kDunHost[] = "dunhost";
const char kVxd[] = "vxd";
const char kTapi32[] = "tapi32";

// The session host's fake driver and modem port, as 32-bit handle fields.
const unsigned long kFakeDriverHandle = 0x7D1E0;
const unsigned long kFakeModemHandle = 0x7C0C0;
const unsigned long kFakeLine = 0x4C1;
const unsigned long kFakeCall = 0xCA11;
const char kDriverName[] = "\\\\.\\QVWINVXD.VXD";
const unsigned long kDriverRefusal = 31;  // ERROR_GEN_FAILURE
const char kMapi32[] = "mapi32";

// Commands.
const char kCommandDrop[] = "drop";
const char kCommandFailNext[] = "fail-next";
const char kCommandConnectExternal[] = "connect-external";
const char kCommandStackOffline[] = "stack-offline";

}  // namespace standin
