// Table-store fields written and read through a stream destination's buffer.
#include "Field.h"
#include "Streamable.h"

STREAMDEST& operator<<(STREAMDEST& d, FIELD& f) {
    CheckStreamDest(d);
    STREAMBUF& s = d.buffer;
    STREAMDEST* prev = s.destination;
    s.destination = &d;
    if (s.HoldsData()) s.FlushOut();
    if (!s.active) s.SetForWrite();
    f.WriteData(s);
    s.destination = prev;
    return d;
}

STREAMDEST& operator>>(STREAMDEST& d, FIELD& f) {
    CheckStreamDest(d);
    STREAMBUF& s = d.buffer;
    STREAMDEST* prev = s.destination;
    s.destination = &d;
    f.ReadData(s, s.cursor.length);
    s.destination = prev;
    return d;
}
