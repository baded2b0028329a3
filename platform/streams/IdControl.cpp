#include "IdControl.h"

#include "ByteOrder.h"

IDCONTROL::IDCONTROL(int b) : base(b), nextId(1), spare(0), groups(FALSE) {}

IDCONTROL::~IDCONTROL() { groups.RemoveAll(TRUE, nullptr); }

unsigned long IDCONTROL::Assign(IDNUMBER& n) {
    n.id = nextId++;
    return n.id;
}

void IDCONTROL::Free(IDNUMBER& n) {
    // Only the id handed out last can be taken back.
    if (n.id != 0 && n.id == nextId - 1) --nextId;
    n.id = 0;
}

void IDCONTROL::Reserve(IDNUMBER& n) {
    if (nextId <= n.id) nextId = n.id + 1;
}

BBOOL IDCONTROL::StreamOut(STREAMBUF& s) {
    s << BEGINDI(0, 0, 0);
    unsigned long values[3] = {nextId, static_cast<unsigned long>(base), spare};
    for (unsigned long v : values) {
        unsigned char b[4];
        PutLe32(b, v);
        s.CopyIn(b, 4);
    }
    s << ENDDI();
    return TRUE;
}

BBOOL IDCONTROL::StreamIn(STREAMBUF& s) {
    s >> BEGINDI();
    if (s.flags & SPF_UNREADABLE) {
        // Nothing to trust: the counter stays as it is.
        streamStatus = STREAM_BADLENGTH;
        s >> ENDDI();
        return TRUE;
    }
    unsigned long values[3] = {0, 0, 0};
    for (unsigned long& v : values) {
        unsigned char b[4];
        if (s.cursor.length >= 4 && s.CopyOut(b, 4) == 4) v = GetStreamU32(b, s.flags);
    }
    s >> ENDDI();
    // 0 means "no id" and is never handed out.
    nextId = values[0] ? values[0] : 1;
    base = static_cast<long>(values[1]);
    spare = values[2];
    return TRUE;
}
