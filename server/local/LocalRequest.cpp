#include "LocalRequest.h"

// First bodies: nothing is generated or scheduled; the scheduled requests
// replace them.

long LOCALREQUEST::MaxSimReqs = 5;
BBOOL LOCALREQUEST::DoSimReqs = FALSE;
volatile BBOOL LOCALREQUEST::InShutdown = FALSE;
BBOOL LOCALREQUEST::RequestsRead = FALSE;
BBOOL LOCALREQUEST::RequestsSaved = FALSE;

LOCALREQUEST::LOCALREQUEST()
    : lastStatus{}, outputFile{}, origin{}, type(nullptr), request(nullptr), linkLevel(-1), requestId(0),
      submitted(0), cancelled(0), persistent(0), listNode(nullptr) {}

LOCALREQUEST::~LOCALREQUEST() {}

LOCALREQUEST* LOCALREQUEST::Generate(APPTYPE*, const char*, int, unsigned long, const char*, const char*, BBOOL) {
    return nullptr;
}

BBOOL LOCALREQUEST::StartUp() { return FALSE; }
BBOOL LOCALREQUEST::CancelRequest(BBOOL) { return FALSE; }
BBOOL LOCALREQUEST::ReadRequests(const char*) { return FALSE; }
BBOOL LOCALREQUEST::SaveRequests(const char*) { return FALSE; }
void LOCALREQUEST::SubmitRequests() {}

LOCALAPPREQUEST::LOCALAPPREQUEST(LOCALREQUEST* o, DATAREQUEST* request, APPINSTANCE* instance)
    : APPREQUEST(request, instance, nullptr), owner(o), reported(0) {}
