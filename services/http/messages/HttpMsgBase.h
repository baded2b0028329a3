#pragma once
// The part every HTTP request and response shares: the parse cursor over the
// message text, version and status, the body flags and the ordered header
// fields, with the header block's parse and rebuild.
#include "Chain.h"
#include "DataStore.h"
#include "LookupTable.h"

// Longest header block or rebuilt message header, its closing zero included.
const int HTTP_HEADER_LIMIT = 16000;

class HTTPMSGBASE {
public:
    BBOOL simpleMessage;  // HTTP/0.9: no version on the request line, or no status line
    char* msgCursor;      // parse position; the text belongs to whoever built the message
    long bodyLength;
    BBOOL bodyFollows;
    BBOOL headersOnly;   // a response to HEAD: status line and headers only
    BBOOL noBodyObject;  // a generated response: the sender ignores any object
    BBOOL headerSent;
    char version[20];
    char status[4];
    long statusNumber;  // of status, computed on first use (0: not yet)
    CHAIN<DATAVALUE> headers;  // owned; in the order parsed or added

    explicit HTTPMSGBASE(char* text);
    virtual ~HTTPMSGBASE();
    HTTPMSGBASE(const HTTPMSGBASE&) = delete;
    HTTPMSGBASE& operator=(const HTTPMSGBASE&) = delete;

    // Parses the header block at msgCursor; FALSE on a malformed line. Strict
    // parsing (requests) also refuses a blank or tab between a name and its colon,
    // which a peer could use to hide a field from us but not from the server.
    BBOOL parseHeaders(BBOOL strict = FALSE);
    // First field of that name, case ignored; none for a null name.
    DATAVALUE* FindHeader(const char* name);
    // The first such field's value, cut to size and terminated; FALSE (out untouched) when absent.
    BBOOL GetHeaderData(char* out, int size, const char* name);
    // A field of that name exists and, when value is given, its value (first 127
    // characters) equals it, case ignored.
    BBOOL HasHeaderField(const char* name, const char* value);
    // Appends name/value rows of a look-up table (row text = value, value word =
    // the name's text) whose names the message lacks.
    void AddDefaultHeaders(LOOKUPROW* table);
    // Appends a field at the end; the chain owns it.
    DATAVALUE* AddHeader(const char* name, const char* value);
    int CopyHeaders(HTTPMSGBASE& dest);
    // The header block, fields in order less omitted ones, then the empty line;
    // FALSE when fewer than two bytes were left at the end (it may be cut).
    BBOOL rebuildHeaders(char* out, int size);
    virtual long BodyLength();
    // statusNumber, computed from status on first use.
    long StatusNumber();
    // The fields as the debug print shows them: FIELDNAME/FIELDVALUE lines.
    void DebugPrintHeaders();
};

// A field's value as text, cut to size and terminated; its length.
int HeaderValue(DATAVALUE& field, char* out, int size);
