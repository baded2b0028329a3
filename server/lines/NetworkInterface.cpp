#include "NetworkInterface.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "AppRequest.h"
#include "PgmThread.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TcpInterface.h"
#include "TextHelpers.h"
#include "WinSockControl.h"

namespace {

const int IDS_NOT_READY = 72;
const int IDS_NO_CONNECTION = 145;
const int IDS_OLD_MULTILINE = 146;

// Sound slots of the configuration.
enum { SOUND_CONNECT = 0, SOUND_DISCONNECT, SOUND_OPEN1, SOUND_CLOSE1, SOUND_OPEN2, SOUND_CLOSE2 };

// Status text entry per link state 0-17; 0: nothing appended. 16 depends on
// the detail text (statusEntry).
const int STATE_TEXT[18] = {0, 128, 129, 130, 131, 134, 132, 133, 134, 135, 128, 140, 129, 137, 138, 141, 142, 139};

int statusEntry(const LINKINTERFACE& link) {
    if (link.state < 0 || link.state > 17) return 0;
    if (link.state != 16) return STATE_TEXT[link.state];
    if (!std::strcmp(link.statusText, "2"))
        return (_pSvr && _pSvr->config.secondaryWinsockVersion[0]) ? 143 : IDS_OLD_MULTILINE;
    if (!std::strcmp(link.statusText, "3")) return 144;
    return 142;
}

// Set on line-set and disconnect threads: line-sets started there run in
// place (the thread already waits for the dial).
thread_local bool tOnLineThread = false;

struct LineThreadMark {
    bool was;
    LineThreadMark() : was(tOnLineThread) { tOnLineThread = true; }
    ~LineThreadMark() { tOnLineThread = was; }
};

const char* configSound(int slot) { return _pSvr ? _pSvr->config.sounds[slot] : ""; }

HWND console() { return _pSvr ? _pSvr->consoleWindow : nullptr; }

LINELAYER& realLayer() {
    static LINELAYER layer;
    return layer;
}

TCPINTERFACE* asTcp(LINKINTERFACE* link) { return dynamic_cast<TCPINTERFACE*>(link); }

}  // namespace

// ---- LINELAYER: the real TCP interface layer

LINKINTERFACE* LINELAYER::FindRelativeLine(int n) { return TCPINTERFACE::FindRelativeLine(n); }
BBOOL LINELAYER::GetLineState(int n, BBOOL check) { return TCPINTERFACE::GetLineState(n, check); }
BBOOL LINELAYER::SetLineState(int n, BBOOL up) { return TCPINTERFACE::SetLineState(n, up); }
void LINELAYER::ShutDown(BBOOL hangUp) { TCPINTERFACE::ShutDown(hangUp); }

long LINELAYER::ActiveRequests(LINKINTERFACE* link) {
    TCPINTERFACE* tcp = asTcp(link);
    return tcp ? tcp->links.count : 0;
}

void LINELAYER::HangUp(LINKINTERFACE* link) {
    if (link && !link->down) link->Disconnect(TRUE, FALSE);
}

void LINELAYER::EnableRouting(LINKINTERFACE* link) {
    if (TCPINTERFACE* tcp = asTcp(link)) tcp->EnableRouting();
}

void LINELAYER::DisableRouting(LINKINTERFACE* link) {
    if (TCPINTERFACE* tcp = asTcp(link)) tcp->DisableRouting();
}

void LINELAYER::SendKeepAlive(LINKINTERFACE* link) {
    if (TCPINTERFACE* tcp = asTcp(link)) tcp->SendKeepAlive();
}

void LINELAYER::RefreshInterfaces() { WINSOCKCONTROL::GetLocalInterfaces(WINSOCKCONTROL::UseDialUp, nullptr); }

void LINELAYER::PlayLineSound(const char* sound, BBOOL async) {
    if (sound && sound[0]) PlaySoundA(sound, nullptr, SND_APPLICATION | (async ? SND_ASYNC : SND_SYNC) | SND_NODEFAULT);
}

void LINELAYER::ShowBox(const char* caption, const char* text) {
    MessageBoxA(console(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}

// ---- LINEINTERFACE

LINEINTERFACE::LINEINTERFACE()
    : owner(nullptr), lineNumber(0), commandId(0), requestedState(0), phonebookEntry{}, redial(0),
      idleDisconnect(0), idleMinutes(0), keepAlive(0), repeatDialing(0), repeatDialingCount(0), connected(0),
      requestedUp(0), lineState(0), dialPending(0), redialling(0), retryCount(0) {}

LINEINTERFACE::LINEINTERFACE(const LINEINTERFACE& other) : LINEINTERFACE() { *this = other; }

LINEINTERFACE& LINEINTERFACE::operator=(const LINEINTERFACE& other) {
    std::memcpy(phonebookEntry, other.phonebookEntry, sizeof phonebookEntry);
    redial = other.redial;
    idleDisconnect = other.idleDisconnect;
    idleMinutes = other.idleMinutes;
    keepAlive = other.keepAlive;
    repeatDialing = other.repeatDialing;
    repeatDialingCount = other.repeatDialingCount;
    return *this;
}

BBOOL LINEINTERFACE::IsLineConfigured() const { return phonebookEntry[0] && !IsNone(); }

BBOOL LINEINTERFACE::IsNone() const { return std::strcmp(phonebookEntry, "none") == 0; }

void LINEINTERFACE::updateStatistics(LINKINTERFACE* link, TIMESTAMP& now) {
    long seconds = static_cast<long>(now.seconds - link->stamps[1].seconds);
    // A sample shorter than a second has no rate; it joins the next one.
    if (link->stamps[1].seconds && seconds < 1) return;
    unsigned long received = static_cast<unsigned long>(link->bytesReceived);
    unsigned long sent = static_cast<unsigned long>(link->bytesSent);
    if (link->stamps[1].seconds) {
        link->statistics[3] = static_cast<long>(received / static_cast<unsigned long>(seconds));
        link->statistics[4] = static_cast<long>(sent / static_cast<unsigned long>(seconds));
        link->sampleInterval = static_cast<int>(seconds);
    }
    link->statistics[0] += static_cast<long>(received);
    link->statistics[1] += static_cast<long>(sent);
    InterlockedExchangeAdd(&link->bytesReceived, -static_cast<long>(received));
    InterlockedExchangeAdd(&link->bytesSent, -static_cast<long>(sent));
    link->stamps[1] = now;
}

// ---- NETWORKINTERFACE: construction

NETWORKINTERFACE::NETWORKINTERFACE()
    : started(0), lineCount(1), samplingInterval(10), connectWhenLaunched(0), connectUponRequest(0),
      escalation{}, waiting(TRUE), startupDialling(0), lineSetActive(0),
      activityTimer(0, &NETWORKINTERFACE::checkInterfaceActivity, this, 10),
      keepaliveTimer(KEEPALIVE_SECONDS, &NETWORKINTERFACE::keepaliveInterfaces, this, KEEPALIVE_SECONDS),
      pollCounter(0), lineSetThreads(TRUE), custom(nullptr) {
    init();
}

NETWORKINTERFACE::NETWORKINTERFACE(const NETWORKINTERFACE& other) : NETWORKINTERFACE() { copySettings(other); }

NETWORKINTERFACE& NETWORKINTERFACE::operator=(const NETWORKINTERFACE& other) {
    if (this != &other) copySettings(other);
    return *this;
}

void NETWORKINTERFACE::init() {
    for (int i = 0; i < 4; ++i) {
        lines[i].owner = this;
        lines[i].lineNumber = i + 1;
        lines[i].commandId = CMD_LINE1 + i;
    }
}

void NETWORKINTERFACE::copySettings(const NETWORKINTERFACE& other) {
    lineCount = other.lineCount;
    samplingInterval = other.samplingInterval;
    for (int i = 0; i < 4; ++i) lines[i] = other.lines[i];
    connectWhenLaunched = other.connectWhenLaunched;
    connectUponRequest = other.connectUponRequest;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 4; ++k)
            if (k != ESC_ON_DOWN) escalation[i][k] = other.escalation[i][k];
}

NETWORKINTERFACE::~NETWORKINTERFACE() {
    if (activityTimer.owner) activityTimer.owner->RemoveTimer(activityTimer);
    if (keepaliveTimer.owner) keepaliveTimer.owner->RemoveTimer(keepaliveTimer);
    waiting.RemoveAll(FALSE, nullptr);
}

void NETWORKINTERFACE::UseLayer(LINELAYER* l) { custom = l; }

LINELAYER& NETWORKINTERFACE::layer() { return custom ? *custom : realLayer(); }

LINEINTERFACE* NETWORKINTERFACE::LineOf(LINKINTERFACE* link) {
    if (!link) return nullptr;
    for (int n = 1; n <= lineCount && n <= 4; ++n)
        if (layer().FindRelativeLine(n) == link) return &lines[n - 1];
    return nullptr;
}

// ---- messages and sounds

void NETWORKINTERFACE::postLine(const LINEINTERFACE& line) { PostCmdMessage(console(), line.commandId, 1); }

void NETWORKINTERFACE::postText(const char* text) {
    // The console shows the text when it gets the message and frees nothing:
    // a ring of slots keeps each text alive until then.
    static char ring[8][320];
    static volatile long next = 0;
    char* slot = ring[static_cast<unsigned long>(InterlockedIncrement(&next)) % 8];
    _strzcpy(slot, text, sizeof ring[0]);
    PostAppMessage(console(), APPMSG_TEXT, reinterpret_cast<LPARAM>(slot));
}

void NETWORKINTERFACE::playLineSound(int n, BBOOL up) {
    int slot = n == 1 ? (up ? SOUND_OPEN1 : SOUND_CLOSE1) : (up ? SOUND_OPEN2 : SOUND_CLOSE2);
    if (configSound(slot)[0]) layer().PlayLineSound(configSound(slot), TRUE);
}

// ---- setting a line

BBOOL NETWORKINTERFACE::SetLineState(int n, BBOOL up) {
    up = up ? TRUE : FALSE;
    if (n >= 1 && n <= 4 && (layer().GetLineState(n, FALSE) ? TRUE : FALSE) == up) return TRUE;
    if (!started) {
        char text[160];
        std::snprintf(text, sizeof text, ServerText(IDS_NOT_READY), ServerText(IDS_TITLE));
        std::string caption = ServerText(IDS_TITLE);
        layer().ShowBox(caption.c_str(), text);
        return FALSE;
    }
    if (n < 1 || n > 4) return FALSE;
    LINEINTERFACE& line = lines[n - 1];
    if (line.IsNone() || !layer().FindRelativeLine(n)) {
        char text[320];
        std::snprintf(text, sizeof text, ServerText(IDS_NO_CONNECTION), line.phonebookEntry);
        postText(text);
        return FALSE;
    }
    if (!up) {
        line.connected = FALSE;
        line.dialPending = FALSE;
        line.redialling = FALSE;
    } else if (InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&line.dialPending), TRUE, FALSE)) {
        return TRUE;  // one dial at a time; the pending one answers for this
    }
    line.requestedState = up;
    if (!line.redialling) playLineSound(n, up);
    // A dial blocks for its whole length: never on the caller's thread,
    // unless that is a line thread already.
    if (lineSetThreads && !tOnLineThread) {
        PGMTHREAD* thread = new PGMTHREAD(nullptr, nullptr, nullptr, TRUE);
        if (thread->StartUp(&NETWORKINTERFACE::processLineSet, &line)) return TRUE;
        thread->freeobj();
    }
    processLineSet(&line);
    return TRUE;
}

void NETWORKINTERFACE::processLineSet(void* argument) {
    LINEINTERFACE& line = *static_cast<LINEINTERFACE*>(argument);
    NETWORKINTERFACE& self = *line.owner;
    LineThreadMark mark;
    MSEMHOLD hold(self.interfaceLock);
    line.requestedUp = line.requestedState;
    line.lineState = line.requestedState;
    if (line.requestedState && !line.redialling) line.lastActivity = TIMESTAMP(TIMESTAMP::Now(), 0);
    self.postLine(line);
    self.lineSetActive = TRUE;
    self.layer().SetLineState(line.lineNumber, line.requestedState);
    self.lineSetActive = FALSE;
    self.CheckCommInterfaces(FALSE);
}

// ---- polling

int NETWORKINTERFACE::CheckCommInterfaces(BBOOL onlyRequested) {
    if (lineSetActive) return TRUE;
    if (++pollCounter > 2) {
        pollCounter = 0;
        layer().RefreshInterfaces();
    }
    BBOOL any = FALSE;
    for (int n = 1; n <= lineCount && n <= 4; ++n) {
        LINEINTERFACE& line = lines[n - 1];
        if (!line.dialPending) {
            long state = layer().GetLineState(n, TRUE);
            if (state != line.lineState) {
                line.lineState = state;
                if (state && !line.redialling) line.lastActivity = TIMESTAMP(TIMESTAMP::Now(), 0);
                postLine(line);
            }
        }
        if (line.lineState && (!onlyRequested || line.requestedUp)) any = TRUE;
    }
    return any;
}

char* NETWORKINTERFACE::GetCommStatusMsg(LINKINTERFACE* link, BUFFER& out) {
    if (!out.data || out.length <= 0) return out.data;
    out.data[0] = 0;
    if (!link) return out.data;
    _strzcpy(out.data, link->name, out.length);
    _strzcat(out.data, " : ", out.length);
    int entry = statusEntry(*link);
    if (entry) {
        _strzcat(out.data, ServerText(entry), out.length);
        _strzcat(out.data, link->statusText, out.length);
    }
    if (link->state == 16) link->statusText[0] = 0;
    return out.data;
}

// ---- dial on demand and escalation

int NETWORKINTERFACE::ConnectOnRequest(APPREQUEST* request) {
    if (!connectUponRequest || !started || IsSystemClosing()) return FALSE;
    // Released from a failed line already: asking again would dial again.
    if (request && request->cancelled) return FALSE;
    // Parked before the dial and the lock let go across it: a dial can take
    // minutes, and the caller may be the thread serving every service.
    BBOOL parked = FALSE;
    if (request) {
        MSEMHOLD hold(waiting.lock);
        if (!lines[0].connected) {
            request->queuedCount = 1;
            // The service keeps a parked request instead of ending it.
            request->waitingForLine = TRUE;
            waiting.Add(*request);
            parked = TRUE;
        }
    }
    if (!SetLineState(1, TRUE)) {
        if (!parked) return FALSE;
        MSEMHOLD hold(waiting.lock);
        if (!waiting.Remove(*request)) return TRUE;  // already released: it is restarted
        request->queuedCount = 0;
        request->waitingForLine = FALSE;
        return FALSE;
    }
    if (request && !parked) request->RestartProcess();
    return TRUE;
}

void NETWORKINTERFACE::ProcessNewConnection(DATACONNECTION*) {
    long active = 0;
    for (int n = 2; n <= 4 && n <= lineCount; ++n) {
        LINKINTERFACE* previous = layer().FindRelativeLine(n - 1);
        // A line gone from the layer carries no requests.
        active += previous ? layer().ActiveRequests(previous) : 0;
        const long* esc = escalation[n - 2];
        LINEINTERFACE& line = lines[n - 1];
        if (lines[n - 2].connected && !line.connected && esc[ESC_ON_COUNT] && esc[ESC_COUNT] &&
            esc[ESC_COUNT] <= active && !line.IsNone())
            SetLineState(n, TRUE);
    }
}

BBOOL NETWORKINTERFACE::dialNext(int n, int flag) {
    if (n > 4 || n > lineCount) return FALSE;
    if (!escalation[n - 2][flag] || lines[n - 1].IsNone()) return FALSE;
    return SetLineState(n, TRUE);
}

void NETWORKINTERFACE::releaseWaiting(BBOOL cancel) {
    MSEMHOLD hold(waiting.lock);
    while (APPREQUEST* request = waiting.RemoveFirst()) {
        if (cancel) request->cancelled = TRUE;
        request->queuedCount = 0;
        request->waitingForLine = FALSE;
        request->RestartProcess();
    }
}

// ---- link events

void NETWORKINTERFACE::ProcessCommConnect(LINKINTERFACE* link) {
    LINEINTERFACE* found = LineOf(link);
    if (!found) return;
    LINEINTERFACE& line = *found;
    layer().EnableRouting(link);
    if (!line.redialling) line.lastActivity = TIMESTAMP(TIMESTAMP::Now(), 0);
    line.retryCount = 0;
    line.dialPending = FALSE;
    line.redialling = FALSE;
    line.connected = TRUE;
    if (configSound(SOUND_CONNECT)[0]) layer().PlayLineSound(configSound(SOUND_CONNECT), FALSE);
    BBOOL dialled = dialNext(line.lineNumber + 1, ESC_PARALLEL);
    releaseWaiting(FALSE);
    if (startupDialling && !dialled) {
        startupDialling = FALSE;
        PostCmdMessage(console(), CMD_INITIAL_REQUESTS, 0);
    }
}

BBOOL NETWORKINTERFACE::retryOrRedial(LINEINTERFACE& line, int state) {
    if (state == 3 && line.connected) {
        line.connected = FALSE;
        if (!line.redial) return FALSE;
    } else if (state == 3 || state == 13 || state == 14) {
        if (!line.dialPending || !line.repeatDialing) return FALSE;
        if (++line.retryCount >= line.repeatDialingCount) return FALSE;
    } else {
        return FALSE;
    }
    line.dialPending = FALSE;
    line.redialling = TRUE;
    SetLineState(line.lineNumber, TRUE);
    return TRUE;
}

void NETWORKINTERFACE::lineFailed(LINEINTERFACE& line) {
    line.connected = FALSE;
    line.dialPending = FALSE;
    line.redialling = FALSE;
    line.retryCount = 0;
    if (configSound(SOUND_DISCONNECT)[0]) layer().PlayLineSound(configSound(SOUND_DISCONNECT), FALSE);
    dialNext(line.lineNumber + 1, ESC_ON_DOWN);
    // Parked requests wait for line 1: they fail only with it, or when no
    // line is up and no dial of line 1 is under way.
    BBOOL anyUp = FALSE;
    for (int n = 1; n <= lineCount && n <= 4; ++n) anyUp = anyUp || lines[n - 1].connected;
    if (line.lineNumber == 1 || (!anyUp && !lines[0].dialPending)) releaseWaiting(TRUE);
}

void NETWORKINTERFACE::ProcessCommDisconnect(LINKINTERFACE* link) {
    if (!link) return;
    int state = link->state;
    LINEINTERFACE* found = LineOf(link);
    if (!found) return;
    layer().HangUp(link);
    layer().DisableRouting(link);
    if (!retryOrRedial(*found, state)) lineFailed(*found);
}

void NETWORKINTERFACE::ProcessDisconnectThread(void* link) {
    if (!_pSvr) return;
    LineThreadMark mark;
    NETWORKINTERFACE& self = _pSvr->lines;
    MSEMHOLD hold(self.interfaceLock);
    self.ProcessCommDisconnect(static_cast<LINKINTERFACE*>(link));
}

// ---- timers

void NETWORKINTERFACE::takeSample(TIMESTAMP& now) {
    for (int n = 1; n <= lineCount && n <= 4; ++n) {
        LINKINTERFACE* link = layer().FindRelativeLine(n);
        if (!link || !link->active) continue;
        lines[n - 1].lastActivity = now;
        link->active = FALSE;
        lines[n - 1].updateStatistics(link, now);
    }
}

void NETWORKINTERFACE::idleHangUps(TIMESTAMP& now) {
    for (int n = 1; n <= lineCount && n <= 4; ++n) {
        LINEINTERFACE& line = lines[n - 1];
        if (!layer().FindRelativeLine(n) || !line.connected || !line.idleDisconnect || line.idleMinutes <= 0) continue;
        if (now.seconds - line.lastActivity.seconds >= static_cast<unsigned long>(line.idleMinutes) * 60UL)
            SetLineState(n, FALSE);
    }
}

void NETWORKINTERFACE::checkInterfaceActivity(void* argument) {
    NETWORKINTERFACE& self = *static_cast<NETWORKINTERFACE*>(argument);
    TIMESTAMP now(TIMESTAMP::Now(), 0);
    self.takeSample(now);
    self.idleHangUps(now);
}

void NETWORKINTERFACE::keepaliveInterfaces(void* argument) {
    NETWORKINTERFACE& self = *static_cast<NETWORKINTERFACE*>(argument);
    for (int n = 1; n <= self.lineCount && n <= 4; ++n) {
        LINKINTERFACE* link = self.layer().FindRelativeLine(n);
        if (link && self.lines[n - 1].connected && self.lines[n - 1].keepAlive) self.layer().SendKeepAlive(link);
    }
}

// ---- start and stop

BBOOL NETWORKINTERFACE::Startup() {
    started = TRUE;
    TIMESTAMP now(TIMESTAMP::Now(), 0);
    for (LINEINTERFACE& line : lines) line.lastActivity = now;
    if (_pSupport) {
        // Under a second the sample would have no length.
        activityTimer.interval = samplingInterval >= 1 ? samplingInterval : 1;
        activityTimer.repeating = TRUE;
        if (!activityTimer.chainCell) _pSupport->timers.AddTimer(&activityTimer, TRUE);
        if (!keepaliveTimer.chainCell) _pSupport->timers.AddTimer(&keepaliveTimer, TRUE);
    }
    CheckCommInterfaces(FALSE);
    for (int n = 1; n <= lineCount && n <= 4; ++n) {
        LINEINTERFACE& line = lines[n - 1];
        if (!line.lineState) continue;
        line.retryCount = 0;
        LINKINTERFACE* link = layer().FindRelativeLine(n);
        line.connected = link ? link->connected : FALSE;
    }
    if (!lines[0].connected && connectWhenLaunched && SetLineState(1, TRUE)) startupDialling = TRUE;
    for (int n = 2; n <= lineCount && n <= 4; ++n) {
        LINEINTERFACE& line = lines[n - 1];
        if (line.IsNone() || !lines[n - 2].connected || line.connected || !escalation[n - 2][ESC_PARALLEL]) continue;
        if (SetLineState(n, TRUE)) startupDialling = TRUE;
    }
    BBOOL anyUp = FALSE;
    for (int n = 1; n <= lineCount && n <= 4; ++n) anyUp = anyUp || lines[n - 1].connected;
    if (!startupDialling && anyUp) PostCmdMessage(console(), CMD_INITIAL_REQUESTS, 0);
    return TRUE;
}

BBOOL NETWORKINTERFACE::Shutdown(BBOOL hangUp) {
    started = FALSE;
    if (activityTimer.owner) activityTimer.owner->RemoveTimer(activityTimer);
    if (keepaliveTimer.owner) keepaliveTimer.owner->RemoveTimer(keepaliveTimer);
    releaseWaiting(TRUE);
    layer().ShutDown(hangUp);
    return TRUE;
}
