#pragma once
// A page the gateway writes itself, into the data of an HTTPOBJECT, in two
// passes over the same builders: the first counts the characters, then the
// object gets an area of that size plus its terminator, the second writes.
// A page can never overrun its area: text that no longer fits is cut.
#include <string>
#include <vector>

#include "HttpObject.h"

class HTTPREQUEST;
class APPREQUEST;
struct SCHEDULEDROW;

// The kind of an FTP directory entry; it picks the row's icon.
enum FILETYPE { FTP_FILE = 0, FTP_TEXTFILE = 1, FTP_PARENT = 2, FTP_DIRECTORY = 3, FTP_LINK = 4 };

class HTMLDOC : public HTTPDOC {
public:
    long size;        // characters counted by the counting pass
    BBOOL counting;
    BUFFER output;    // writing pass: next position and room left (terminator included)
    CHAIN<DATAVALUE> embedded;
    CHAIN<DATAVALUE> linksFound;

    explicit HTMLDOC(HTTPOBJECT* object);
    ~HTMLDOC() override;

    const char* ItemClassName() const override { return "HTMLDOC"; }
    unsigned long ItemClassID() const override { return QvTag("HTMD"); }
    void* ItemGetAddress() const override { return dynamic_cast<void*>(const_cast<HTMLDOC*>(this)); }
    int ItemGetSize() const override { return (int)sizeof(HTMLDOC); }
    int ItemStreamSize(BBOOL) override { return (int)sizeof(HTMLDOC); }
    const char* TypeName() override { return "HTML Document"; }

    // A plain page (head with the title, an H1 heading, two fragments, the end);
    // with a null title a bare document and no page. Reuses an HTML document
    // already on the object, with its lists emptied.
    static HTMLDOC* Generate(HTTPOBJECT& object, const char* title, const char* heading, const char* first,
                             const char* second);
    // The FTP directory page over the listing the object holds; host and path
    // are empty (and no icons) when the request is not known.
    static HTMLDOC* GenerateFTPls(HTTPOBJECT& object, HTTPREQUEST* request);
    // Turns the zero after a finished page into a blank, so that a page sent
    // whole as a body carries no NUL byte.
    static void PadTerminator(HTTPOBJECT& object);

    // Appends a text by the pass's rule; always TRUE.
    BBOOL Append(const char* text);
    BBOOL Append(const char* text, long length);
    BBOOL doc_createBuff();
    BBOOL buildDocument(const char* title, const char* heading, const char* first, const char* second);
    BBOOL buildDocHeaders(const char* title, const char* heading, const char* first, const char* second);
    BBOOL buildDocEnd();

    BBOOL buildFTPdocument(const BUFFER& listing, const char* path, const char* host, const char* base);
    BBOOL buildFTPbodyheaders(const char* host, const char* path);
    BBOOL buildFTPbodyline(const char* link, const char* name, const char* date, const char* sizeText,
                           const char* base, FILETYPE kind);
    BBOOL buildFTPbodyend();
    BBOOL parseFTPList(const BUFFER& listing, const char* path, const char* base);
    BBOOL parseFTPLsLine(char*& cursor, const char* path, const char* base);
    BBOOL parseFTPDirLine(char*& cursor, const char* path, const char* base);
    static BBOOL isUnixLsStyle(const char* line);
    static BBOOL isDosDirStyle(const char* line);
    static BBOOL isTextFile(const char* name);
    static char* getParentPath(const char* path, BUFFER& out);
    static char* getLinkPath(const char* name, BUFFER& out);
    static BBOOL atSiteRoot(const char* path);

    // Link prefetch (LinkPrefetch.cpp). Fills the two lists from a page the
    // request fetched; the number of entries added.
    long parseLinks(const BUFFER& page, HTTPREQUEST* request, BBOOL embeddedOnly);
    // One started prefetch request per entry, at level (a FRAME below 0 one
    // higher); the number made.
    long queueLinks(unsigned long rootId, long level, BBOOL unused);
    // Prefetch for the page (or redirection) a request got: the number of
    // requests queued, 0 for nothing to do, -1 on failure. Worker thread.
    static long GenerateLinks(APPREQUEST* process);
    // The same for a response whose page (length bytes) was gathered apart
    // from it, as a proxied body is; any thread.
    static long GenerateLinks(const struct PREFETCHORIGIN& origin, HTTPREQUEST* request, class HTTPRESPONSE* response,
                              const char* page, long length);

    // Scheduled request list (RequestListPage.cpp): every stored GET, or one
    // user's; remove adds the links that delete them.
    // The removal links carry the administrator's password.
    static HTMLDOC* GenerateRequestList(HTTPOBJECT& object, BBOOL remove, const char* user, const char* password);
    BBOOL buildRequestDocument(const char* typeName, BBOOL remove, const char* user, const char* password);
    BBOOL buildRequestBody(BBOOL remove, const std::vector<SCHEDULEDROW>& rows, const char* password);

    // Gateway status (StatusPage.cpp); head is written right after <BODY>.
    static HTMLDOC* GenerateGatewayStatus(HTTPOBJECT& object, const char* head);
    BBOOL buildGWSDocument(const char* head);
    BBOOL buildGWSBody();
    BBOOL buildGWSLineStatus(int line);
    BBOOL buildGWSLineStatistics(int line);
    long activeUsers = 0;  // the status page's figures, frozen by the counting pass
    long peakUsers = 0;

    // Runs the builder twice around doc_createBuff.
    template <class BUILD>
    BBOOL TwoPasses(BUILD build) {
        size = 0;
        output = BUFFER();
        counting = TRUE;
        if (!build()) return FALSE;
        if (!doc_createBuff()) return FALSE;
        counting = FALSE;
        return build();
    }

private:
    // A failed page leaves its object without a document; always null.
    static HTMLDOC* Abandon(HTTPOBJECT& object, HTMLDOC* doc);
    // Writes text escaped for HTML: names that come from a server must not
    // become markup nor break the quoted link.
    BBOOL AppendEscaped(const char* text);
};

// The text with &, <, > and " written as entities, for page text and attributes.
std::string HtmlText(const char* text);

// Makes the document a .DEF file names by its class tag; set at start by the page code.
HTTPDOC* MakeHttpDocument(HTTPOBJECT* object, unsigned long classTag);
