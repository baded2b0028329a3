#include "LocalRequest.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AppDefinition.h"
#include "AppManager.h"
#include "AppType.h"
#include "DataStore.h"
#include "FileStream.h"
#include "ReqFields.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "TextHelpers.h"

const char* const LOCAL_REQUEST_FILE = "QUORVANE.REQ";

CHAIN<LOCALREQUEST> LOCALREQUEST::LocalPendingRequests(TRUE);
long LOCALREQUEST::MaxSimReqs = 5;
BBOOL LOCALREQUEST::DoSimReqs = FALSE;
volatile long LOCALREQUEST::ReqsSent = 0;
volatile long LOCALREQUEST::MsgPosted = 0;
volatile BBOOL LOCALREQUEST::InShutdown = FALSE;
BBOOL LOCALREQUEST::RequestsRead = FALSE;
BBOOL LOCALREQUEST::RequestsSaved = FALSE;

namespace {

// Declared size of a record's body.
const unsigned long RECORD_SIZE = 424;
const int FILE_BUFFER = 1024;
const char LINK_WORD[] = "LINK-LEVEL:";

// Without a server root (some tests) the requests still need one chain.
CHAIN<LOCALREQUEST>& rootChain() {
    static CHAIN<LOCALREQUEST> spare(TRUE);
    return _pSvr ? _pSvr->localRequests : spare;
}

HWND console() { return _pSvr ? _pSvr->consoleWindow : nullptr; }

const char* skipBlanks(const char* p, const char* blanks) {
    while (*p && std::strchr(blanks, *p)) ++p;
    return p;
}

// The text after the segment's ";", or null when the segment has none.
const char* afterSegment(const char* p) {
    const char* semi = std::strchr(p, ';');
    return semi ? semi + 1 : nullptr;
}

// Application-request trace of a request's way through the queues.
void trace(const char* what, LOCALREQUEST* r) {
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpp", what, r, r ? r->request : nullptr);
}

struct ChainHold {
    MSEMAPHORE& lock;
    explicit ChainHold(bCHAIN& chain) : lock(chain.lock) { lock.Reserve(QV_WAIT_FOREVER, FALSE); }
    ~ChainHold() { lock.Release(FALSE); }
};

}  // namespace

// ---- construction

LOCALREQUEST::LOCALREQUEST()
    : STREAMABLE(0x14000000UL, 0), lastStatus{}, outputFile{}, origin{}, timer(nullptr), type(nullptr),
      request(nullptr), inFlight(nullptr), linkLevel(-1), requestId(0), submitted(0), countedOff(0), cancelled(0),
      persistent(0), requeues(0), pendingNode(nullptr), listNode(nullptr) {}

LOCALREQUEST::~LOCALREQUEST() {
    // A kept request that goes leaves the file out of date.
    if (persistent && !InShutdown) RequestsSaved = FALSE;
    if (submitted && !countedOff) InterlockedDecrement(&ReqsSent);
    if (timer) {
        timer->procedure = nullptr;
        if (timer->owner) timer->owner->RemoveTimer(*timer);
        timer->freeobj();
        timer = nullptr;
    }
    dropRequest();
    if (inFlight) inFlight->owner = nullptr;
    inFlight = nullptr;
    unlink();
}

void LOCALREQUEST::dropRequest() {
    if (!request) return;
    // The run still holding this request frees it with itself.
    if (!(inFlight && inFlight->request == request)) {
        request->released = FALSE;
        request->FreeRequest(FALSE);
    }
    request = nullptr;
}

void LOCALREQUEST::unlink() {
    // Pending cells go always, so that nothing is destroyed through the
    // queue again; the request chain is emptied by its owner at shutdown.
    {
        ChainHold hold(LocalPendingRequests);
        if (pendingNode) LocalPendingRequests.Remove(*pendingNode);
        pendingNode = nullptr;
    }
    if (InShutdown) return;
    CHAIN<LOCALREQUEST>& chain = rootChain();
    ChainHold hold(chain);
    if (listNode && listNode->linked) chain.Remove(*listNode);
    listNode = nullptr;
}

void LOCALREQUEST::destroy() { freeobj(); }

const char* LOCALREQUEST::Command() const { return request && request->command ? request->command : ""; }

BBOOL LOCALREQUEST::build(APPTYPE* t, const char* command) {
    APPDEFINITION* definition = t ? t->definition : nullptr;
    if (!definition || !command) return FALSE;
    request = definition->BuildRequest(command);
    if (!request) return FALSE;
    request->SetReqCmd(command, static_cast<int>(std::strlen(command)));
    request->released = TRUE;  // the services must not free what we own
    type = t;
    return TRUE;
}

LOCALREQUEST* LOCALREQUEST::Generate(APPTYPE* t, const char* text, int level, unsigned long id, const char* from,
                                     const char* output, BBOOL start) {
    if (!text || !t) return nullptr;
    const char* schedule = nullptr;
    const char* command = text;
    if (LOCALTIMER::IsTimedReqCmd(text)) {
        schedule = text;
        command = afterSegment(text);
        if (!command) return nullptr;
    }
    const char* link = skipBlanks(command, " \t\r\n");
    if (!std::strncmp(link, LINK_WORD, sizeof LINK_WORD - 1)) {
        level = std::atoi(skipBlanks(link + sizeof LINK_WORD - 1, " \t"));
        command = afterSegment(link);
        if (!command) return nullptr;
    }
    command = skipBlanks(command, " \t");
    if (!*command) return nullptr;

    LOCALREQUEST* r = new LOCALREQUEST();
    if (!r) _Task_Abend(ABEND_STG101, 0);
    r->prepare();
    r->timer = new LOCALTIMER(schedule);
    if (!r->timer) _Task_Abend(ABEND_STG101, 0);
    r->timer->prepare();
    if (!r->build(t, command)) {
        r->freeobj();
        return nullptr;
    }
    r->linkLevel = level;
    r->requestId = id ? id : r->request->requestId.id;
    _strzcpy(r->origin, from ? from : "", sizeof r->origin);
    _strzcpy(r->outputFile, output ? output : "", sizeof r->outputFile);
    RequestsSaved = FALSE;
    if (start && !r->StartUp()) {
        r->freeobj();
        return nullptr;
    }
    return r;
}

// ---- schedule

BBOOL LOCALREQUEST::StartUp() {
    {
        CHAIN<LOCALREQUEST>& chain = rootChain();
        ChainHold hold(chain);
        if (!listNode) {
            listNode = &chain.Add(*this);
            if (!listNode->target) listNode = nullptr;
        }
    }
    if (!timer) return TRUE;
    if (timer->chainCell) return TRUE;
    timer->procedure = &LOCALREQUEST::TimerPopExec;
    timer->argument = this;
    return onTimerQueue();
}

BBOOL LOCALREQUEST::onTimerQueue() {
    if (!_pSupport || !_pSupport->timers.AddTimer(timer, FALSE)) return FALSE;
    trace("Local Request On Timer Queue", this);
    return TRUE;
}

BBOOL LOCALREQUEST::ResubmitRequest() {
    if (!timer || !timer->ResetNextTimer(FALSE)) return FALSE;
    return onTimerQueue();
}

BBOOL LOCALREQUEST::queueOnLocalPending() {
    ChainHold hold(LocalPendingRequests);
    if (pendingNode) return TRUE;
    pendingNode = &LocalPendingRequests.Add(*this);
    if (!pendingNode->target) pendingNode = nullptr;
    if (pendingNode) trace("Local Request On Local Pending Requests", this);
    return pendingNode != nullptr;
}

void LOCALREQUEST::TimerPopExec(void* argument) {
    LOCALREQUEST* r = static_cast<LOCALREQUEST*>(argument);
    if (r && r->request && r->type) {
        // Its count and next run move on: the file must follow, or a restart
        // would run it again from the old ones.
        if (r->persistent) RequestsSaved = FALSE;
        BBOOL again = r->ResubmitRequest();
        BBOOL queued = r->queueOnLocalPending();
        if (!again && !queued) r->destroy();
    }
    CheckRequestsPending();
}

// ---- submission

void LOCALREQUEST::CheckRequestsPending() {
    if (!LocalPendingRequests.count || ReqsSent >= Limit()) return;
    if (InterlockedCompareExchange(&MsgPosted, 1, 0)) return;
    if (!PostAppMessage(console(), APPMSG_SUBMIT, 0)) MsgPosted = 0;
}

long LOCALREQUEST::SubmitRequests() {
    MsgPosted = 0;
    if (!_pSvr || !_pSvr->ready || IsSystemClosing() || !LocalPendingRequests.count) return 0;
    long submittedNow = 0;
    CHAIN<LOCALREQUEST>& chain = rootChain();
    ChainHold order(chain);
    ChainHold hold(LocalPendingRequests);
    for (long n = LocalPendingRequests.count; n > 0 && ReqsSent < Limit(); --n) {
        LOCALREQUEST* r = LocalPendingRequests.RemoveFirst();
        if (!r) break;
        r->pendingNode = nullptr;
        if (r->submitted) {
            r->queueOnLocalPending();
        } else if (r->queueOnSystemPending()) {
            ++submittedNow;
            InterlockedIncrement(&ReqsSent);
        } else {
            BBOOL timed = r->timer && r->timer->chainCell;
            QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppc", "Local Request Submit - not queued on system pending", r, r->request,
                     timed ? "Still Timer queued" : "Not Timer queued");
            if (!timed) r->destroy();
        }
    }
    return submittedNow;
}

BBOOL LOCALREQUEST::queueOnSystemPending() {
    APPDEFINITION* definition = type ? type->definition : nullptr;
    if (!request || !definition) return FALSE;
    LOCALAPPREQUEST* run = new LOCALAPPREQUEST(this, request, nullptr);
    if (!run) _Task_Abend(ABEND_STG101, 0);
    run->prepare();
    run->outputMark = outputFile[0] ? TRUE : FALSE;
    inFlight = run;
    submitted = TRUE;
    countedOff = FALSE;
    if (definition->QueueRequest(run)) {
        trace("Local Request On System Pending", this);
        return TRUE;
    }
    submitted = FALSE;
    inFlight = nullptr;
    run->owner = nullptr;
    run->request = nullptr;
    request->process = nullptr;
    run->freeobj();
    return FALSE;
}

// ---- results and ends

BBOOL LOCALREQUEST::LocalResponse(LOCALAPPREQUEST* run) {
    LOCALREQUEST* r = run ? run->owner : nullptr;
    DATARESULT* result = run ? run->GetDataResult() : nullptr;
    if (!r || !result || result->released) return FALSE;
    if (const char* status = result->GetStatus()) _strzcpy(r->lastStatus, status, sizeof r->lastStatus);
    if (r->outputFile[0] && result->object) {
        FILESTREAM out;
        if (out.OpenStream(r->outputFile, FILE_BUFFER, IOMODE_WRITE) == 0) {
            result->object->WriteObjectData(out);
            out.CloseStream();
        }
    }
    {
        ChainHold hold(rootChain());
        if (!r->countedOff) {
            r->countedOff = TRUE;
            InterlockedDecrement(&ReqsSent);
        }
    }
    CheckRequestsPending();
    return TRUE;
}

void LOCALREQUEST::RequestComplete(LOCALAPPREQUEST* run) {
    CHAIN<LOCALREQUEST>& chain = rootChain();
    BBOOL requeue = run && run->statusValue == LOCAL_STATUS_LINE_DOWN && !cancelled;
    {
        ChainHold hold(chain);
        if (inFlight == run) inFlight = nullptr;
        if (submitted && !countedOff) InterlockedDecrement(&ReqsSent);
        submitted = FALSE;
        countedOff = FALSE;
        // A line that keeps failing would requeue as fast as submissions go.
        if (requeue && ++requeues > LOCAL_REQUEUE_LIMIT) requeue = FALSE;
        if (!requeue) requeues = 0;
    }
    if (requeue) {
        trace("Local Request Complete - Requeued", this);
        queueOnLocalPending();
    } else if (timer && timer->chainCell && !cancelled) {
        trace("Local Request Complete - Still Timer Queued", this);
    } else {
        BBOOL stays = FALSE;
        LOCALREQUEST* parent = nullptr;
        {
            ChainHold hold(chain);
            BBOOL otherChild = FALSE;
            int parents = 0;
            if (requestId) {
                CITERATOR<LOCALREQUEST> it;
                for (LOCALREQUEST* o = it.Begin(chain); o; o = it.Next()) {
                    if (o == this || o->requestId != requestId) continue;
                    if (o->persistent) {
                        parent = o;
                        ++parents;
                    } else {
                        otherChild = TRUE;
                    }
                }
                it.End();
            }
            stays = persistent && (parents || otherChild);
            if (stays || parents != 1 || otherChild || parent->submitted ||
                (parent->timer && parent->timer->chainCell && !parent->cancelled))
                parent = nullptr;
        }
        if (parent) {
            trace("Local Request Complete - Parent", parent);
            parent->destroy();
        }
        if (!stays) destroy();
    }
    CheckRequestsPending();
}

BBOOL LOCALREQUEST::CancelRequest(BBOOL withChildren) {
    CHAIN<LOCALREQUEST>& chain = rootChain();
    ChainHold hold(chain);
    if (listNode && listNode->linked) chain.Remove(*listNode);
    listNode = nullptr;
    if (withChildren && requestId) {
        for (;;) {
            LOCALREQUEST* child = nullptr;
            CITERATOR<LOCALREQUEST> it;
            for (LOCALREQUEST* o = it.Begin(chain); o && !child; o = it.Next())
                if (o != this && o->requestId == requestId && !o->cancelled) child = o;
            it.End();
            if (!child) break;
            child->CancelRequest(FALSE);
        }
    }
    cancelled = TRUE;
    if (timer && timer->owner) timer->owner->RemoveTimer(*timer);
    if (!submitted) {
        destroy();
        return TRUE;
    }
    if (request) request->cancelled = TRUE;
    if (LOCALAPPREQUEST* run = inFlight) {
        trace("Local Request Cancelled", this);
        run->requestLogged = TRUE;
        run->cancelled = TRUE;
        run->RestartProcess();
    }
    return FALSE;
}

void LOCALREQUEST::ReleaseAll(CHAIN<LOCALREQUEST>& chain) {
    InShutdown = TRUE;
    {
        ChainHold hold(LocalPendingRequests);
        CITERATOR<LOCALREQUEST> it;
        for (LOCALREQUEST* r = it.Begin(LocalPendingRequests); r; r = it.Next()) r->pendingNode = nullptr;
        it.End();
        LocalPendingRequests.RemoveAll(FALSE, nullptr);
    }
    chain.RemoveAll(TRUE, nullptr);
}

// ---- request file

BBOOL LOCALREQUEST::StreamOut(STREAMBUF& s) {
    using namespace reqfields;
    s << BEGINDI(RECORD_SIZE);
    PutInt(s, linkLevel);
    PutByte(s, timer ? 1 : 0);
    PutText(s, type ? type->name : "");
    PutText(s, origin);
    const char* command = Command();
    PutInt(s, static_cast<long>(std::strlen(command)));
    PutText(s, command);
    if (timer) s << *timer;
    s << ENDDI();
    return streamStatus == 0;
}

BBOOL LOCALREQUEST::StreamIn(STREAMBUF& s) {
    using namespace reqfields;
    s >> BEGINDI();
    linkLevel = GetInt(s);
    BBOOL scheduled = GetByte(s) != 0;
    char typeName[64];
    GetText(s, typeName, sizeof typeName);
    GetText(s, origin, sizeof origin);
    long length = GetInt(s);
    // The length is checked against the record, never trusted for a read.
    std::string command;
    bool whole = length >= 0 && length < s.cursor.length;
    if (whole) {
        command.assign(s.cursor.data, static_cast<size_t>(length));
        whole = s.cursor.data[length] == 0 && command.find('\0') == std::string::npos;
        s.cursor.data += length + 1;
        s.cursor.length -= length + 1;
    }
    if (scheduled && whole) {
        timer = new LOCALTIMER(nullptr);
        if (!timer) _Task_Abend(ABEND_STG101, 0);
        timer->prepare();
        s >> *timer;
    }
    s >> ENDDI();
    if (!whole) {
        streamStatus = STREAM_BADLENGTH;
        return FALSE;
    }
    APPTYPE* found = _pSvr && typeName[0] ? _pSvr->manager.FindAppType(typeName) : nullptr;
    if (found) build(found, command.c_str());
    return TRUE;
}

int LOCALREQUEST::ItemStreamSize(BBOOL full) {
    int size = static_cast<int>(std::strlen(Command())) + 488;
    if (full && timer) size += 160;
    return size;
}

namespace {

BBOOL kept(LOCALREQUEST* r) { return r->request && r->type && r->HasSchedule() && r->persistent; }

// The whole file through the disk at once: written and flushed before it is
// renamed over the old one.
BBOOL writeWhole(const std::string& path, const char* data, long length) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD written = 0;
    BBOOL ok = WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) && written == DWORD(length);
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    return ok;
}

BBOOL readWhole(const char* path, std::string& out) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    char chunk[FILE_BUFFER];
    DWORD got = 0;
    BBOOL ok = TRUE;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got) out.append(chunk, got);
    CloseHandle(file);
    return ok;
}

// A bare file name lies in the configuration directory, whatever the
// current directory is.
std::string inConfigDirectory(const char* name) {
    if (!_pSvr || !_pSvr->configDirectory[0] || std::strpbrk(name, "\\/:")) return name;
    char path[MAX_PATH];
    if (!BuildPathName(path, _pSvr->configDirectory, name)) return name;
    return path;
}

}  // namespace

long LOCALREQUEST::SaveRequests(const char* name) {
    if (!name) return 0;
    std::string target = inConfigDirectory(name);
    const char* path = target.c_str();
    // Written beside the file and swapped in only when complete, all under
    // the chain lock: concurrent saves follow each other and a crash or a
    // full disk leaves the previous schedules in place.
    std::string temporary = std::string(path) + ".tmp";
    CHAIN<LOCALREQUEST>& chain = rootChain();
    ChainHold hold(chain);
    unsigned long count = 0;
    long size = 64;
    CITERATOR<LOCALREQUEST> it;
    for (LOCALREQUEST* r = it.Begin(chain); r; r = it.Next())
        if (kept(r)) {
            ++count;
            size += r->ItemStreamSize(TRUE) + 64;
        }
    it.End();
    STREAMBUF buffer(size);
    buffer.SetForWrite();
    STREAMCOUNT head(count);
    buffer << head;
    for (LOCALREQUEST* r = it.Begin(chain); r; r = it.Next())
        if (kept(r)) buffer << *r;
    it.End();
    BBOOL ok = buffer.cursor.length > 0 && buffer.frameStatus == 0;
    if (!ok || !writeWhole(temporary, buffer.area.data, buffer.Used()) ||
        !MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return 0;
    }
    RequestsSaved = TRUE;
    return static_cast<long>(count);
}

long LOCALREQUEST::ReadRequests(const char* name) {
    std::string bytes;
    if (!name || !readWhole(inConfigDirectory(name).c_str(), bytes)) return 0;
    STREAMBUF in;
    in.BufSet(BUFFER(bytes.empty() ? nullptr : &bytes[0], static_cast<long>(bytes.size())));
    in.cursor = in.area;
    in.active = TRUE;
    CHAIN<LOCALREQUEST>& chain = rootChain();
    ChainHold hold(chain);
    STREAMCOUNT head;
    if (bytes.size() >= 4) in >> head;
    BBOOL failed = bytes.size() < 4 || head.streamStatus != 0;
    long records = 0;
    for (unsigned long i = 0; i < head.count && !failed; ++i) {
        // Every record must at least hold its prefix: a cut file ends here.
        if (in.cursor.length < 4) {
            failed = TRUE;
            break;
        }
        LOCALREQUEST* r = new LOCALREQUEST();
        if (!r) _Task_Abend(ABEND_STG101, 0);
        r->prepare();
        in >> *r;
        ++records;
        r->persistent = TRUE;
        if (r->request) r->requestId = r->request->requestId.id;
        if (r->streamStatus) failed = TRUE;
        BBOOL runs = !r->streamStatus && r->request && r->type && r->timer && r->timer->ResetNextTimer(TRUE);
        if (!runs || !r->StartUp()) r->freeobj();
    }
    return failed ? -records : records;
}

LOCALREQUEST* LOCALREQUEST::FindPersistent(APPTYPE* t, const char* text) {
    if (!t || !text) return nullptr;
    LOCALREQUEST probe;
    probe.timer = new LOCALTIMER(LOCALTIMER::IsTimedReqCmd(text) ? text : nullptr);
    probe.timer->prepare();
    const char* command = LOCALTIMER::IsTimedReqCmd(text) ? afterSegment(text) : text;
    if (command) {
        const char* link = skipBlanks(command, " \t\r\n");
        if (!std::strncmp(link, LINK_WORD, sizeof LINK_WORD - 1)) command = afterSegment(link);
    }
    if (!command) return nullptr;
    command = skipBlanks(command, " \t");
    LOCALREQUEST* found = nullptr;
    CHAIN<LOCALREQUEST>& chain = rootChain();
    ChainHold hold(chain);
    CITERATOR<LOCALREQUEST> it;
    for (LOCALREQUEST* r = it.Begin(chain); r && !found; r = it.Next()) {
        if (!r->persistent || r->type != t || r->cancelled || !r->timer || std::strcmp(r->Command(), command)) continue;
        const LOCALTIMER& a = *r->timer;
        const LOCALTIMER& b = *probe.timer;
        if (!std::strcmp(a.startText, b.startText) && !std::strcmp(a.repeatText, b.repeatText) &&
            !std::strcmp(a.endText, b.endText))
            found = r;
    }
    it.End();
    return found;
}

// ---- the run of a local request

LOCALAPPREQUEST::LOCALAPPREQUEST(LOCALREQUEST* o, DATAREQUEST* request, APPINSTANCE* instance)
    : APPREQUEST(request, instance, nullptr), owner(o), reported(0) {}

LOCALAPPREQUEST::~LOCALAPPREQUEST() {
    if (reported) return;
    reported = TRUE;
    if (LOCALREQUEST* o = owner) {
        owner = nullptr;
        o->RequestComplete(this);
    }
}

BBOOL LOCALAPPREQUEST::LogResult(APPDEFINITION* definition) {
    BBOOL logged = APPREQUEST::LogResult(definition);
    LOCALREQUEST::LocalResponse(this);
    return logged;
}

// ---- message box for the GUI thread

SVRMSGBOX::SVRMSGBOX(int caption, int text, BBOOL info) : captionId(caption), textId(text), information(info) {}

BBOOL SVRMSGBOX::Post(int caption, int text, BBOOL info) {
    SVRMSGBOX* box = new SVRMSGBOX(caption, text, info);
    if (!box) _Task_Abend(ABEND_STG101, 0);
    box->prepare();
    if (PostAppMessage(console(), APPMSG_MESSAGE_BOX, reinterpret_cast<LPARAM>(box))) return TRUE;
    box->freeobj();
    return FALSE;
}

int SVRMSGBOX::Display(HWND owner) {
    std::string caption = ServerText(captionId);
    std::string text = ServerText(textId);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | (information ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}
