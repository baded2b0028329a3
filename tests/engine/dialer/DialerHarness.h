#pragma once
// Child-side aids of the dialer tests: the console's two hooks (a notifier
// that records line, status and text in order and dials on status 5 as the
// console does, and a scripted log-in prompt), a secondary-dialer control
// made as the TCP service definition makes it, and printing results as
// key=value lines for the parent.
#include <initializer_list>
#include <string>
#include <vector>

#include "WaitFor.h"
#include "WinSockControl.h"
#include "WinSockInterface.h"

namespace dialtest {

// The usual phonebook: "Line One" (127.0.0.2, saved user and password) and
// "Line Two" (127.0.0.3), a text for error 678.
extern const char kPhonebook[];

// Installs the recorder as the status notifier and the scripted prompt.
void InstallConsole();
// The prompt answers with these values, or cancels.
void SetPrompt(const char* user, const char* password, bool cancel);
int PromptCalls();

// Statuses recorded for the line (all lines when null), e.g. "1,4,6,7,8,9".
std::string Statuses(const char* line = nullptr);
// The texts of the records, joined by '|', empty texts left out.
std::string Texts();
// Waits at most ms for one of the statuses to be recorded for the line.
bool WaitForStatus(const char* line, std::initializer_list<int> any, unsigned ms = 10000);
void ClearRecords();

// Builds the chain from the names (use 3) and returns the line of that place.
WINSOCKINTERFACE* Lines(const char* names, int place = 1);
WINSOCKINTERFACE* Line(int place);

// The secondary-dialer control for the line, with its configuration file
// (written by the parent into the files folder) as the configuration profile.
WINSOCKCONTROL* MakeSecondary(WINSOCKINTERFACE* line, const std::string& profileFile, bool twoPhase);
void ReleaseSecondary(WINSOCKCONTROL* control, WINSOCKINTERFACE* line);

// The files folder of the stand-ins (with a backslash), from the environment.
std::string FilesFolder();
bool HasArg(const char* name);

void Say(const char* key, const std::string& value);
void Say(const char* key, long value);

// A listener on 127.0.0.1 and the address an outbound link over the line came from.
std::string OutboundFrom(TCPINTERFACE* line);

}  // namespace dialtest
