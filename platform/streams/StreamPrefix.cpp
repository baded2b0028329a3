#include "StreamPrefix.h"

#include "ByteOrder.h"

namespace {

// What the writer may carry: the form is its own choice, and it never claims
// the other byte order.
unsigned long WritableFlags(unsigned long flags) { return flags & ~(SPF_FORM | SPF_SWAPPED); }

bool FitsShort(unsigned long flags, unsigned long code, unsigned long length) {
    return (flags & 0xC0FFFFFFUL) == 0 && code <= 0xFF && length <= 0xFF;
}

bool FitsMedium(unsigned long flags, unsigned long code, unsigned long length) {
    return (flags & 0x4000FFFFUL) == 0 && code <= 0xFFFF && length <= 0xFFFF;
}

}  // namespace

unsigned long GetStreamU16(const void* at, unsigned long flags) {
    return (flags & SPF_SWAPPED) ? GetBe16(at) : GetLe16(at);
}

unsigned long GetStreamU32(const void* at, unsigned long flags) {
    return (flags & SPF_SWAPPED) ? GetBe32(at) : GetLe32(at);
}

int MeasurePrefix(int room, unsigned long flags, unsigned long code, unsigned long length) {
    flags = WritableFlags(flags);
    if (room >= SPREFIX_SHORT && FitsShort(flags, code, length)) return SPREFIX_SHORT;
    if (room >= SPREFIX_MEDIUM && FitsMedium(flags, code, length)) return SPREFIX_MEDIUM;
    if (room >= SPREFIX_LONG) return SPREFIX_LONG;
    return 0;
}

bool PutPrefix(char* at, int size, unsigned long flags, unsigned long code, unsigned long length) {
    flags = WritableFlags(flags);
    if (flags & SPF_OPENLENGTH) length = 0;
    switch (size) {
    case SPREFIX_SHORT:
        if (!FitsShort(flags, code, length)) return false;
        at[0] = static_cast<char>(flags >> 24);
        at[1] = static_cast<char>(code);
        at[2] = static_cast<char>(length);
        return true;
    case SPREFIX_MEDIUM:
        if (!FitsMedium(flags, code, length)) return false;
        flags |= SPF_FORM_MEDIUM;
        PutBe16(at, flags >> 16);
        PutLe16(at + 2, code);
        PutLe16(at + 4, length);
        return true;
    case SPREFIX_LONG:
        flags |= SPF_FORM_LONG;
        // The flags word goes most significant byte first: its top bits tell the form.
        PutBe32(at, flags);
        PutLe32(at + 4, code);
        PutLe32(at + 8, length);
        return true;
    default: return false;
    }
}

int WritePrefix(char* at, int room, unsigned long& flags, unsigned long code, unsigned long length) {
    int size = MeasurePrefix(room, flags, code, length);
    if (size == 0) return 0;
    unsigned long written = WritableFlags(flags);
    if (size == SPREFIX_MEDIUM) written |= SPF_FORM_MEDIUM;
    if (size == SPREFIX_LONG) written |= SPF_FORM_LONG;
    PutPrefix(at, size, written, code, length);
    flags = written;
    return size;
}

int ReadPrefix(const char* at, int avail, unsigned long& flags, unsigned long& code, unsigned long& length) {
    int size = 0;
    if (avail > 0) {
        unsigned char b0 = static_cast<unsigned char>(at[0]);
        switch (b0 >> 6) {
        case 0: size = SPREFIX_SHORT; break;
        case 2: size = SPREFIX_MEDIUM; break;
        case 3: size = SPREFIX_LONG; break;
        default: size = 0; break;
        }
    }
    if (size != 0 && avail >= size) {
        const unsigned char* u = reinterpret_cast<const unsigned char*>(at);
        if (size == SPREFIX_SHORT) {
            flags = static_cast<unsigned long>(u[0]) << 24;
            code = u[1];
            length = u[2];
        } else if (size == SPREFIX_MEDIUM) {
            flags = static_cast<unsigned long>(GetBe16(at)) << 16;
            code = GetStreamU16(at + 2, flags);
            length = GetStreamU16(at + 4, flags);
        } else {
            flags = GetBe32(at);
            code = GetStreamU32(at + 4, flags);
            length = GetStreamU32(at + 8, flags);
        }
        if ((flags & SPF_DIRECT) || length <= static_cast<unsigned long>(avail - size)) return size;
    }
    flags = SPF_UNREADABLE;
    code = 0;
    length = 0;
    return avail > 0 ? avail : 0;
}
